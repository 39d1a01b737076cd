// Reads a printed PDF back with poppler's tools: pages, page size, embedded images and the
// pixels of a rendered page.
#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>

#include <vector>

namespace printtest {

struct PdfImage
{
    int page = 0;
    int width = 0;
    int height = 0;
    QString encoding; // "jpeg" for a DCT stream
    qint64 bytes = 0;
};

// Page count from pdfinfo; -1 when the file does not open as a PDF.
int pdfPageCount(const QString& pdf);
// The first page's size in points.
QSizeF pdfPageSize(const QString& pdf);
// The images as pdfimages -list reports them.
std::vector<PdfImage> pdfImages(const QString& pdf);
// One page (counted from 1) rendered at dpi; a null image on failure.
QImage renderPdfPage(const QString& pdf, int page, int dpi);

} // namespace printtest
