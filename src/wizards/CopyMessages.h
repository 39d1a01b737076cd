// The copy worker's messages to its window and the window's answers to its two questions.
#pragma once

#include "WindowMessenger.h"

// The file's name travels in WindowMessage::text, its index in the list in wParam.
inline constexpr int WM_COPYSTART = WM_USER + 1;     // a file is about to be copied
inline constexpr int WM_COPYPROGRESS = WM_USER + 2;  // wParam bytes copied, lParam bytes in all
inline constexpr int WM_COPYDONE = WM_USER + 3;      // a file was copied
inline constexpr int WM_COPYERROR = WM_USER + 4;     // question: a copy failed
inline constexpr int WM_COPYCANCELLED = WM_USER + 5; // the user cancelled in a question
inline constexpr int WM_COPYEXISTS = WM_USER + 6;    // question: the destination exists
inline constexpr int WM_COPYFINISHED = WM_USER + 7;  // every file was handled

// Answers to WM_COPYERROR: Retry, Skip, Cancel.
inline constexpr qintptr kCopyRetry = 1;
inline constexpr qintptr kCopySkip = 0;
// Answers to WM_COPYEXISTS: Yes, No, Yes to all, Cancel.
inline constexpr qintptr kCopyReplace = 1;
inline constexpr qintptr kCopyKeep = 0;
inline constexpr qintptr kCopyReplaceAll = 2;
// Either question.
inline constexpr qintptr kCopyCancel = 3;
