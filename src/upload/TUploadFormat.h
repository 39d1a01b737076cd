// The maximum photo sizes the user can choose for an upload.
#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

class TUploadFormat
{
public:
    qint32 width = 0;
    qint32 height = 0;

    // (0, 0): the photos keep their own size.
    bool isOriginal() const { return width == 0 && height == 0; }
    // (-1, -1): the site's standard display size, not known before the first login.
    bool isRecommendedPlaceholder() const { return width == -1 && height == -1; }

    // The settings value: the two sizes as the signed 16-bit halves of one 32-bit integer,
    // width in the high half, so that (-1, -1) reads back as itself.
    qint32 toSetting() const;
    static TUploadFormat fromSetting(qint32 value);

    friend bool operator==(const TUploadFormat&, const TUploadFormat&) = default;
};

// Owns its entries.
class TUploadFormatList
{
public:
    int count() const { return static_cast<int>(mFormats.size()); }
    const TUploadFormat& at(int index) const { return mFormats.at(index); }
    void replace(int index, TUploadFormat format) { mFormats[index] = format; }

    // The index of the entry (width, height), -1 when absent.
    int indexOf(qint32 width, qint32 height) const;
    int indexOf(const TUploadFormat& format) const { return indexOf(format.width, format.height); }

    // The wizard's list: original size, the recommended size (-1, -1) until the first login
    // names it, then 800 x 600, 1024 x 768 and 1600 x 1200.
    void fillStandard();

private:
    QList<TUploadFormat> mFormats;
};
