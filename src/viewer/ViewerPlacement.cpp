#include "ViewerPlacement.h"

#include "FittedJpeg.h"

namespace viewer {

QRect placePicture(QSize storedSize, QSize areaSize)
{
    if (storedSize.isEmpty() || areaSize.isEmpty())
        return {};
    // The loaders' own fitting, so the placed shape is the decoded one.
    const FittedSize size =
        fittedSize(storedSize.width(), storedSize.height(), areaSize.width(), areaSize.height());
    return {(areaSize.width() - size.width) / 2, (areaSize.height() - size.height) / 2, size.width,
            size.height};
}

QRect viewWindowRect(const QRect& mainWindowFrame)
{
    const auto part = [](double factor, int length) { return int(factor * length); };
    return {mainWindowFrame.left() + part(0.04, mainWindowFrame.width()),
            mainWindowFrame.top() + part(0.04, mainWindowFrame.height()),
            part(0.92, mainWindowFrame.width()), part(0.92, mainWindowFrame.height())};
}

} // namespace viewer
