#include "TUploadFormat.h"

qint32 TUploadFormat::toSetting() const
{
    // Packed as unsigned halves: width * 65536 + height would turn (-1, -1) into (-2, -1).
    const quint32 packed = (quint32(quint16(width)) << 16) | quint16(height);
    return static_cast<qint32>(packed);
}

TUploadFormat TUploadFormat::fromSetting(qint32 value)
{
    const auto packed = static_cast<quint32>(value);
    return {qint16(quint16(packed >> 16)), qint16(quint16(packed & 0xFFFF))};
}

int TUploadFormatList::indexOf(qint32 width, qint32 height) const
{
    for (int i = 0; i < count(); ++i) {
        if (mFormats.at(i).width == width && mFormats.at(i).height == height)
            return i;
    }
    return -1;
}

void TUploadFormatList::fillStandard()
{
    mFormats = {{0, 0}, {-1, -1}, {800, 600}, {1024, 768}, {1600, 1200}};
}
