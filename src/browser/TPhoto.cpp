#include "TPhoto.h"

bool isPhotoPath(const QString& path)
{
    const QString lower = path.toLower();
    return lower.endsWith(QLatin1String(".jpg")) || lower.endsWith(QLatin1String(".jpeg")) ||
           lower.endsWith(QLatin1String(".bmp"));
}
