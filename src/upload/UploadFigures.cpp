#include "UploadFigures.h"

#include "HttpServerAddress.h"
#include "uLanguage.h"

#include <QUrl>

#include <algorithm>

namespace upload {

namespace {

enum : unsigned
{
    TextBytes = 520,
    TextKb = 521,
    TextMb = 522,
};

constexpr qint64 kEstimateIntervalMs = 2000;

// n / unit cut to hundredths, as "0.00" with the locale's decimal separator.
QString hundredths(qint64 n, qint64 unit, const QLocale& locale)
{
    const qint64 cents = (n / unit) * 100 + (n % unit) * 100 / unit;
    return QString::number(cents / 100) + locale.decimalPoint() +
           QStringLiteral("%1").arg(cents % 100, 2, 10, QLatin1Char('0'));
}

QString encoded(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

QString FormatByteSize(qint64 n, bool exact, const QLocale& locale)
{
    if (exact || n < 1000) {
        QLocale grouped = locale;
        grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
        return grouped.toString(n) + QLatin1Char(' ') + GetText(TextBytes);
    }
    if (n <= 1023999)
        return hundredths(n, 1024, locale) + QLatin1Char(' ') + GetText(TextKb);
    return hundredths(n, 1048576, locale) + QLatin1Char(' ') + GetText(TextMb);
}

void UploadProgress::start(qint64 nowMs)
{
    mStartMs = nowMs;
    mLastEstimateMs = nowMs;
}

UploadProgress::Shown UploadProgress::update(qint64 currentBytes, qint64 sent, qint64 total,
                                             qint64 bytesDone, qint64 allBytes, qint64 nowMs)
{
    Shown shown;
    if (total <= 0 || allBytes <= 0)
        return shown;
    const double f = (double(currentBytes) * double(sent) / double(total) + double(bytesDone)) /
                     double(allBytes);
    shown.percent = int(std::clamp(f, 0.0, 1.0) * 100);
    // "100 %" would claim the upload is over while the site has not answered yet.
    shown.percentText = QString::number(std::min(shown.percent, 99)) + QStringLiteral(" %");
    if (f > 0 && nowMs - mLastEstimateMs > kEstimateIntervalMs) {
        mLastEstimateMs = nowMs;
        const double fraction = std::min(f, 1.0);
        const auto seconds = qint64((1 - fraction) * double(nowMs - mStartMs) / (fraction * 1000));
        shown.timeLeftChanged = true;
        shown.timeLeftText = timeLeftText(seconds);
    }
    return shown;
}

QString UploadProgress::timeLeftText(qint64 seconds)
{
    // Never "0 min. 0 sec." while bytes are still on their way.
    const qint64 shown = seconds + 1;
    return QString::number(shown / 60) + QStringLiteral(" min. ") + QString::number(shown % 60) +
           QStringLiteral(" sec.");
}

bool wantsDisplayCopy(int chosenWidth, int chosenHeight, int standardWidth, int standardHeight,
                      int displayCopyMode)
{
    if (chosenWidth == standardWidth && chosenHeight == standardHeight)
        return false;
    return displayCopyMode != NeverDisplayCopy;
}

bool keepDisplayCopy(qint64 copyBytes, qint64 mainBytes, int sizeLimitPercent, int timeLimitSeconds,
                     double bytesPerSecond)
{
    if (mainBytes <= 0)
        return false;
    const double ratio = double(copyBytes) / double(mainBytes);
    const bool large = ratio >= double(sizeLimitPercent) / 100;
    const bool slow = bytesPerSecond <= 0 || double(copyBytes) / bytesPerSecond >= timeLimitSeconds;
    return !(large && slow);
}

QString errorCodeText(int errorType, int errorCode, int debugValue)
{
    switch (errorType) {
    case 0:
        return QString::number(errorCode);
    case 1:
        return QLatin1Char('S') + QString::number(errorCode);
    case 2:
        return QLatin1Char('D') + QString::number(debugValue);
    default:
        return {};
    }
}

QString errorInfoAddress(const QString& siteHost, const QString& codeText, int debugValue,
                         const QString& programVersion, const QString& applicationTitle)
{
    QString title = applicationTitle;
    title.remove(QLatin1Char(' '));
    // Each value is put in once and encoded, so a "%" in one can never be taken for the next
    // placeholder.
    return parseServerString(siteHost).baseUrl() + QStringLiteral("/programerror/?prg=") +
           encoded(title) + QStringLiteral("&vrs=") + encoded(programVersion) +
           QStringLiteral("&dbv=") + QString::number(debugValue) + QStringLiteral("&err=") +
           encoded(codeText);
}

} // namespace upload
