#include "PreviewSheet.h"

#include <cmath>

namespace {

constexpr int kBorder = 8;
constexpr double kMicrometresPerInch = 25400.0;

int rounded(double value)
{
    return int(std::lround(value));
}

} // namespace

PreviewSheet previewSheet(int displaySide, qint32 paperWidth, qint32 paperHeight, qint32 offsetLeft,
                          qint32 offsetTop)
{
    PreviewSheet result;
    if (paperWidth <= 0 || paperHeight <= 0)
        return result;
    const int longSide = displaySide - 2 * kBorder;
    if (paperHeight < paperWidth) {
        const int height = rounded(double(paperHeight) / paperWidth * longSide);
        result.sheet = QRect(kBorder, (displaySide - height) / 2, longSide, height);
    } else {
        const int width = rounded(double(paperWidth) / paperHeight * longSide);
        result.sheet = QRect((displaySide - width) / 2, kBorder, width, longSide);
    }
    result.ppiX = result.sheet.width() * kMicrometresPerInch / paperWidth;
    result.ppiY = result.sheet.height() * kMicrometresPerInch / paperHeight;
    const int left = rounded(offsetLeft * result.ppiX / kMicrometresPerInch);
    const int top = rounded(offsetTop * result.ppiY / kMicrometresPerInch);
    result.printable = QRect(left, top, result.sheet.width() - left, result.sheet.height() - top);
    return result;
}

QString paperSizeText(qint32 paperWidth, qint32 paperHeight)
{
    return QStringLiteral("%1 x %2 mm")
        .arg(std::lround(paperWidth / 1000.0))
        .arg(std::lround(paperHeight / 1000.0));
}
