// Widget benchmarks need no display: they draw offscreen unless the caller chose a platform.
#pragma once

#include <QByteArray>
#include <QtGlobal>

inline void useOffscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
