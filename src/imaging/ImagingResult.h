// Stands for the imaging library's result codes: 1 is success, every other value a failure.
#pragma once

#include <QString>

namespace imaging {

enum Result : int {
    Success = 1,
    NoMemory = -1,          // an allocation failed
    NoBitmap = -2,          // the operation was given an empty bitmap
    PictureTooLarge = -3,   // above pixelLimit(); shown like NoMemory
    FileWriteFailed = -5,
    FileReadFailed = -7,    // truncated, or the read itself failed
    FileFormatUnknown = -9, // neither JPEG nor BMP
    FileNotFound = -10,
    CorruptFile = -12,      // the file's own data contradicts itself
    InvalidParameter = -13,
    FileOpenFailed = -14,   // exists but cannot be opened (a folder, no permission)
    Cancelled = -100,       // the caller's cancel flag was set
};

// The text a user sees for a failed result: "Not enough memory" for -1 and -3, else
// "LT Error " and the number. These are developer-facing and stay English.
QString resultText(int result);

} // namespace imaging
