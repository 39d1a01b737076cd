#include "PrintSettings.h"

PrintSettings PrintSettings::fromPrinter(const QPrinter& printer)
{
    PrintSettings settings;
    settings.pageLayout = printer.pageLayout();
    settings.resolution = printer.resolution();
    settings.copies = printer.copyCount();
    settings.duplex = printer.duplex();
    settings.colorMode = printer.colorMode();
    return settings;
}

QPageLayout PrintSettings::runLayout(bool forcePortrait) const
{
    QPageLayout layout = pageLayout;
    if (forcePortrait)
        layout.setOrientation(QPageLayout::Portrait);
    return layout;
}

PaperMetrics paperMetrics(const QPageLayout& layout, int resolution)
{
    PaperMetrics paper;
    if (!layout.isValid() || resolution <= 0)
        return paper;
    const QRect full = layout.fullRectPixels(resolution);
    const QRect printable = layout.paintRectPixels(resolution);
    paper.paperWidth = full.width();
    paper.paperHeight = full.height();
    paper.offsetX = printable.left() - full.left();
    paper.offsetY = printable.top() - full.top();
    paper.dpiX = resolution;
    paper.dpiY = resolution;
    return paper;
}

PaperMetrics paperMetrics(const PrintSettings& settings, bool forcePortrait)
{
    return paperMetrics(settings.runLayout(forcePortrait), settings.resolution);
}
