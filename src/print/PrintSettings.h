// A printer entry's settings as the print run needs them, copied from its QPrinter on the
// window's thread so that the worker never touches the printer object.
#pragma once

#include "PrintLayout.h"

#include <QPageLayout>
#include <QPrinter>
#include <QString>

struct PrintSettings
{
    // Paper, orientation, and the unprintable margins.
    QPageLayout pageLayout;
    int resolution = 300;
    int copies = 1;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    QPrinter::ColorMode colorMode = QPrinter::Color;

    static PrintSettings fromPrinter(const QPrinter& printer);

    // The layout for a run: portrait when one, two or four per page.
    QPageLayout runLayout(bool forcePortrait) const;
    bool isLandscape() const { return pageLayout.orientation() == QPageLayout::Landscape; }
};

// The paper of that run in device pixels (paperRect, pageRect offsets, resolution); all zero
// for an invalid page layout.
PaperMetrics paperMetrics(const QPageLayout& layout, int resolution);
PaperMetrics paperMetrics(const PrintSettings& settings, bool forcePortrait);
