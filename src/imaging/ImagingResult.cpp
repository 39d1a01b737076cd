#include "ImagingResult.h"

namespace imaging {

QString resultText(int result)
{
    if (result == NoMemory || result == PictureTooLarge)
        return QStringLiteral("Not enough memory");
    return QStringLiteral("LT Error ") + QString::number(result);
}

} // namespace imaging
