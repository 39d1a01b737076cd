#include "CupsJob.h"

#include <QFile>
#include <QPageSize>

#include <cups/cups.h>

namespace {

QString mediaName(const QPageSize& size)
{
    if (size.id() != QPageSize::Custom)
        return size.key();
    const QSizeF millimetres = size.size(QPageSize::Millimeter);
    return QStringLiteral("Custom.%1x%2mm")
        .arg(qRound(millimetres.width()))
        .arg(qRound(millimetres.height()));
}

QString sidesName(const PrintSettings& settings)
{
    switch (settings.duplex) {
    case QPrinter::DuplexLongSide:
        return QStringLiteral("two-sided-long-edge");
    case QPrinter::DuplexShortSide:
        return QStringLiteral("two-sided-short-edge");
    case QPrinter::DuplexAuto:
        // Turned pages turn over on their short edge.
        return settings.isLandscape() ? QStringLiteral("two-sided-short-edge")
                                      : QStringLiteral("two-sided-long-edge");
    case QPrinter::DuplexNone:
        break;
    }
    return QStringLiteral("one-sided");
}

} // namespace

std::vector<std::pair<QString, QString>> CupsJob::optionsFor(const PrintSettings& settings)
{
    return {
        {QStringLiteral("media"), mediaName(settings.pageLayout.pageSize())},
        // IPP's enum: 3 portrait, 4 landscape.
        {QStringLiteral("orientation-requested"),
         settings.isLandscape() ? QStringLiteral("4") : QStringLiteral("3")},
        {QStringLiteral("copies"), QString::number(qMax(1, settings.copies))},
        {QStringLiteral("sides"), sidesName(settings)},
        {QStringLiteral("print-color-mode"), settings.colorMode == QPrinter::GrayScale
                                                 ? QStringLiteral("monochrome")
                                                 : QStringLiteral("color")},
    };
}

bool CupsJob::submit(const QString& queue, const QString& pdfPath, const QString& title,
                     const PrintSettings& settings)
{
    mQueue = queue;
    mJobId = 0;
    mErrorText.clear();
    cups_option_t* options = nullptr;
    int optionCount = 0;
    for (const auto& [name, value] : optionsFor(settings))
        optionCount = cupsAddOption(name.toUtf8().constData(), value.toUtf8().constData(),
                                    optionCount, &options);
    mJobId = cupsPrintFile(queue.toUtf8().constData(), QFile::encodeName(pdfPath).constData(),
                           title.toUtf8().constData(), optionCount, options);
    cupsFreeOptions(optionCount, options);
    if (mJobId <= 0) {
        mJobId = 0;
        mErrorText = QString::fromUtf8(cupsLastErrorString());
        return false;
    }
    return true;
}

bool CupsJob::cancel()
{
    if (mJobId == 0)
        return true;
    const ipp_status_t status =
        cupsCancelJob2(CUPS_HTTP_DEFAULT, mQueue.toUtf8().constData(), mJobId, 0);
    if (status > IPP_STATUS_OK_EVENTS_COMPLETE) {
        mErrorText = QString::fromUtf8(cupsLastErrorString());
        return false;
    }
    mJobId = 0;
    return true;
}
