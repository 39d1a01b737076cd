// The kernel's high-water mark of this process's resident memory, for tests and benchmarks
// that check a bound on memory.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Starts a new high-water mark.
inline void resetPeakRss()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// In MB; -1 when it cannot be read.
inline double peakRssMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}
