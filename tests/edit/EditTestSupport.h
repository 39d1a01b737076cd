// What the engine tests share: the application, an image control to show into, pictures
// written as real files, and waiting for the worker.
#pragma once

#include "Bitmap.h"
#include "EventLoopWait.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "TAltLeadImage.h"
#include "TEditImage.h"
#include "TestApplication.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace edittest {

// Colours that change along both axes, with a sharp edge that smoothing would blur.
inline imaging::Bitmap picture(int width, int height)
{
    imaging::Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(width, height), imaging::Success);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bitmap.scanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = std::uint8_t(x * 255 / width);
            p[1] = std::uint8_t(y * 255 / height);
            p[2] = x < width / 2 ? 30 : 220;
        }
    }
    return bitmap;
}

inline bool same(const imaging::Bitmap& a, const imaging::Bitmap& b)
{
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.bits(), b.bits(), a.byteCount()) == 0;
}

inline imaging::Bitmap copyOf(const imaging::Bitmap& bitmap)
{
    imaging::Bitmap copy;
    EXPECT_EQ(imaging::copyBitmap(copy, bitmap), imaging::Success);
    return copy;
}

inline bool writeJpeg(const QString& path, const imaging::Bitmap& bitmap)
{
    QByteArray bytes;
    QFile file(path);
    return imaging::saveBitmapToBuffer(bitmap, imaging::FileFormat::Jpeg, 2, bytes) ==
               imaging::Success &&
           file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The shown picture as the bitmap's pixels, for comparing.
inline bool showsExactly(const TAltLeadImage& image, const imaging::Bitmap& bitmap)
{
    const QImage shown = image.picture().convertToFormat(QImage::Format_RGB888);
    if (shown.width() != bitmap.width() || shown.height() != bitmap.height())
        return false;
    for (int y = 0; y < bitmap.height(); ++y) {
        if (std::memcmp(shown.constScanLine(y), bitmap.scanLine(y), bitmap.stride()) != 0)
            return false;
    }
    return true;
}

// An engine showing into its own image control, counting the requests it finished.
struct Harness
{
    explicit Harness(EditMode mode, int boxWidth = 400, int boxHeight = 300)
    {
        testsupport::ensureApplication();
        parent = std::make_unique<QWidget>();
        image = std::make_unique<TAltLeadImage>(parent.get());
        image->setAllowRgn(true);
        engine = std::make_unique<TEditImage>(
            boxWidth, boxHeight, mode, image.get(), [this] { ++started; }, [this] { ++ended; });
    }
    ~Harness() { engine.reset(); }

    // Apply mode: waits for the end of the request just posted.
    bool finish()
    {
        const int awaited = ++posted;
        return pumpUntil([&] { return ended >= awaited; });
    }
    bool settle()
    {
        return pumpUntil([&] { return engine->isIdle(); });
    }
    imaging::Bitmap current()
    {
        imaging::Bitmap copy;
        EXPECT_TRUE(engine->PreviewCopy(false, 1 << 30, 1 << 30, copy));
        return copy;
    }

    std::unique_ptr<QWidget> parent;
    std::unique_ptr<TAltLeadImage> image;
    std::unique_ptr<TEditImage> engine;
    int started = 0;
    int ended = 0;
    int posted = 0;
};

} // namespace edittest
