// The upload wizard's figures: byte sizes as the user reads them, the progress line with its
// estimate of the time left, whether a display copy is worth its upload, and the address
// of the site's page about an error.
#pragma once

#include <QLocale>
#include <QString>

namespace upload {

// n with thousands separators and "bytes" when exact or below 1000; else KB up to 1023999
// bytes and MB above, cut (not rounded) to hundredths. Separators follow the locale: by
// default the system's, as the user's regional settings decide them, whatever language the
// program speaks.
QString FormatByteSize(qint64 n, bool exact, const QLocale& locale = QLocale::system());

// The upload pass's progress bar and its labels. Times are milliseconds from any clock.
class UploadProgress
{
public:
    struct Shown
    {
        int percent = 0;     // for the progress bar, 0 to 100
        QString percentText; // "42 %"; never "100 %"
        bool timeLeftChanged = false;
        QString timeLeftText; // "3 min. 5 sec." when changed
    };

    // The pass begins: both the start and the last estimate are now.
    void start(qint64 nowMs);

    // currentBytes: the expected size of the photo on its way; sent / total: the bytes of its
    // request gone so far; bytesDone: the photos finished; allBytes: the total of the pass.
    // The estimate is refreshed at most every 2000 ms.
    Shown update(qint64 currentBytes, qint64 sent, qint64 total, qint64 bytesDone, qint64 allBytes,
                 qint64 nowMs);

    static QString timeLeftText(qint64 seconds);

private:
    qint64 mStartMs = 0;
    qint64 mLastEstimateMs = 0;
};

// The site's display-copy modes.
enum DisplayCopyMode
{
    NeverDisplayCopy = 0,
    AlwaysDisplayCopy = 1,
    DisplayCopyByCost = 2,
};

// Whether a display copy is made at all: not when the chosen size is already the standard
// display size, and not when the site wants none.
bool wantsDisplayCopy(int chosenWidth, int chosenHeight, int standardWidth, int standardHeight,
                      int displayCopyMode);

// The cost rule: a display copy of copyBytes next to a main image of mainBytes is dropped
// when it is at least sizeLimitPercent of the main image and, at bytesPerSecond (0 when not
// known), would take at least timeLimitSeconds to send.
bool keepDisplayCopy(qint64 copyBytes, qint64 mainBytes, int sizeLimitPercent, int timeLimitSeconds,
                     double bytesPerSecond);

// What the error panel calls the error: the code alone for kind 0, "S" + code for kind 1,
// "D" + debug value for kind 2; empty for any other kind (the text stands alone).
QString errorCodeText(int errorType, int errorCode, int debugValue);

// The site's page about a program error, on the scheme and port of the site host:
// "/programerror/?prg=<title without spaces>&vrs=<version>&dbv=<debug value>&err=<code>".
QString errorInfoAddress(const QString& siteHost, const QString& codeText, int debugValue,
                         const QString& programVersion, const QString& applicationTitle);

} // namespace upload
