#include "PopplerProbe.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace printtest {

namespace {

QString run(const QString& program, const QStringList& arguments, bool* ok = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(60000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfInfo(const QString& pdf, bool* ok)
{
    return run(QStringLiteral("pdfinfo"), {pdf}, ok);
}

qint64 sizeInBytes(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9.]+)([BKMG]?)$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return 0;
    double value = match.captured(1).toDouble();
    const QString unit = match.captured(2);
    if (unit == QLatin1String("K"))
        value *= 1024;
    else if (unit == QLatin1String("M"))
        value *= 1024 * 1024;
    else if (unit == QLatin1String("G"))
        value *= 1024.0 * 1024 * 1024;
    return qint64(value);
}

} // namespace

int pdfPageCount(const QString& pdf)
{
    bool ok = false;
    const QString info = pdfInfo(pdf, &ok);
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pages.match(info);
    return ok && match.hasMatch() ? match.captured(1).toInt() : -1;
}

QSizeF pdfPageSize(const QString& pdf)
{
    const QString info = pdfInfo(pdf, nullptr);
    static const QRegularExpression size(QStringLiteral("^Page size:\\s+([0-9.]+) x ([0-9.]+) pts"),
                                         QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = size.match(info);
    return match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble())
                            : QSizeF();
}

std::vector<PdfImage> pdfImages(const QString& pdf)
{
    // page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
    const QStringList lines =
        run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).split(QLatin1Char('\n'));
    std::vector<PdfImage> images;
    for (const QString& line : lines.mid(2)) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        if (fields.size() < 15)
            continue;
        PdfImage image;
        image.page = fields[0].toInt();
        image.width = fields[3].toInt();
        image.height = fields[4].toInt();
        image.encoding = fields[8];
        image.bytes = sizeInBytes(fields[14]);
        images.push_back(image);
    }
    return images;
}

QImage renderPdfPage(const QString& pdf, int page, int dpi)
{
    QTemporaryDir dir;
    const QString stem = dir.filePath(QStringLiteral("page"));
    bool ok = false;
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QString::number(page),
         QStringLiteral("-l"), QString::number(page), QStringLiteral("-singlefile"),
         QStringLiteral("-png"), pdf, stem},
        &ok);
    return ok ? QImage(stem + QStringLiteral(".png")) : QImage();
}

} // namespace printtest
