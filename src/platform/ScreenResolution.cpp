#include "ScreenResolution.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

constexpr double kFallbackDpi = 96;

double orFallback(double dpi)
{
    return dpi > 0 ? dpi : kFallbackDpi;
}

} // namespace

double screenDotsPerInchX()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? orFallback(screen->logicalDotsPerInchX()) : kFallbackDpi;
}

double screenDotsPerInchY()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? orFallback(screen->logicalDotsPerInchY()) : kFallbackDpi;
}
