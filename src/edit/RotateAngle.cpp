#include "RotateAngle.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace edit {

double turnAngleFromText(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double angle = locale.toDouble(trimmed, &ok);
    if (!ok)
        angle = QLocale::c().toDouble(trimmed, &ok);
    // "inf" and "nan" parse as numbers but are no angle.
    if (!ok || !std::isfinite(angle) || angle < -360 || angle > 360)
        return 0;
    return angle < 0 ? angle + 360 : angle;
}

double autoCropLimit(int width, int height)
{
    const double longer = std::max(width, height);
    const double shorter = std::min(width, height);
    if (shorter <= 0)
        return 0;
    const double t0 =
        std::atan((longer - std::sqrt(longer * longer - shorter * shorter)) / shorter);
    return t0 * 180 / std::numbers::pi;
}

bool autoCropOffered(double angle, double limit)
{
    double reduced = angle;
    while (reduced > 90)
        reduced -= 90;
    return !(limit < reduced && reduced < 90 - limit);
}

} // namespace edit
