#include "PhotoMetadata.h"

#include "FittedJpeg.h"

#include <QFile>

#include <turbojpeg.h>

#include <exiv2/exiv2.hpp>
#include <memory>
#include <mutex>
#include <string>

// Exiv2 0.27 hands its images out as std::auto_ptr, which clang flags as deprecated.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

// The camera's own thumbnails are 160 pixels on the longer side.
constexpr int kThumbnailSide = 160;

std::mutex gXmpToolkitMutex;

void lockXmpToolkit(void*, bool lock)
{
    if (lock)
        gXmpToolkitMutex.lock();
    else
        gXmpToolkitMutex.unlock();
}

struct HandleCloser
{
    void operator()(void* handle) const { tjDestroy(handle); }
};

// The stored frame size, whatever orientation the bytes' own EXIF block names.
bool frameSize(const QByteArray& jpeg, int& width, int& height)
{
    std::unique_ptr<void, HandleCloser> handle(tjInitDecompress());
    int subsampling = 0;
    int colorspace = 0;
    return handle &&
           tjDecompressHeader3(handle.get(),
                               reinterpret_cast<const unsigned char*>(jpeg.constData()),
                               static_cast<unsigned long>(jpeg.size()), &width, &height,
                               &subsampling, &colorspace) == 0 &&
           width > 0 && height > 0;
}

QByteArray contentsOf(Exiv2::Image& image)
{
    Exiv2::BasicIo& io = image.io();
    io.open();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf buffer = io.read(io.size());
    io.close();
    return QByteArray(reinterpret_cast<const char*>(buffer.pData_), buffer.size_);
}

Exiv2::Image::AutoPtr openBytes(const QByteArray& bytes)
{
    return Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.constData()),
                                     long(bytes.size()));
}

// Only what a file has is changed: a key that was absent stays absent.
template <typename Value>
void replaceIfPresent(Exiv2::ExifData& exif, const char* key, const Value& value)
{
    if (exif.findKey(Exiv2::ExifKey(key)) != exif.end())
        exif[key] = value;
}
void replaceIfPresent(Exiv2::XmpData& xmp, const char* key, const std::string& value)
{
    if (xmp.findKey(Exiv2::XmpKey(key)) != xmp.end())
        xmp[key] = value;
}

// The metadata now describe pixels that are upright and width × height.
void describeSavedPicture(Exiv2::ExifData& exif, Exiv2::XmpData& xmp, int width, int height)
{
    if (!exif.empty()) {
        replaceIfPresent(exif, "Exif.Image.Orientation", std::uint16_t(1));
        exif["Exif.Photo.PixelXDimension"] = std::uint32_t(width);
        exif["Exif.Photo.PixelYDimension"] = std::uint32_t(height);
        replaceIfPresent(exif, "Exif.Image.ImageWidth", std::uint32_t(width));
        replaceIfPresent(exif, "Exif.Image.ImageLength", std::uint32_t(height));
    }
    replaceIfPresent(xmp, "Xmp.tiff.Orientation", std::string("1"));
    replaceIfPresent(xmp, "Xmp.exif.PixelXDimension", std::to_string(width));
    replaceIfPresent(xmp, "Xmp.exif.PixelYDimension", std::to_string(height));
    replaceIfPresent(xmp, "Xmp.tiff.ImageWidth", std::to_string(width));
    replaceIfPresent(xmp, "Xmp.tiff.ImageLength", std::to_string(height));
}

bool hasThumbnail(const Exiv2::ExifData& exif)
{
    return exif.findKey(Exiv2::ExifKey("Exif.Thumbnail.JPEGInterchangeFormat")) != exif.end() ||
           exif.findKey(Exiv2::ExifKey("Exif.Thumbnail.StripOffsets")) != exif.end();
}

void copyMetadata(Exiv2::Image& source, Exiv2::Image& target)
{
    target.setExifData(source.exifData());
    target.setXmpData(source.xmpData());
    target.setIptcData(source.iptcData());
    target.setComment(source.comment());
    if (source.iccProfileDefined()) {
        // Kept as the camera wrote it, even when its header looks odd: it is not ours to judge.
        target.setIccProfile(*source.iccProfile(), false);
    } else {
        target.clearIccProfile();
    }
}

bool hasMetadata(Exiv2::Image& image)
{
    return !image.exifData().empty() || !image.xmpData().empty() || !image.iptcData().empty() ||
           image.iccProfileDefined() || !image.comment().empty();
}

// The saved picture in little, for the EXIF block; empty when it cannot be made.
QByteArray thumbnailOf(const QByteArray& jpeg)
{
    FittedJpegDetails details;
    const std::optional<QByteArray> thumbnail =
        fitPictureBytes(jpeg, kThumbnailSide, kThumbnailSide, 0, true, nullptr, details);
    return thumbnail.value_or(QByteArray());
}

} // namespace

// Exiv2's errors arrive as exceptions; its warnings would only clutter the terminal.
void initialiseExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(lockXmpToolkit, nullptr);
    });
}

bool carryMetadataForSave(const QString& sourcePath, QByteArray& jpegBytes, QString* error)
{
    initialiseExiv2();
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };

    Exiv2::Image::AutoPtr source;
    try {
        Exiv2::BasicIo::AutoPtr io(new Exiv2::FileIo(QFile::encodeName(sourcePath).toStdString()));
        source = Exiv2::ImageFactory::open(io);
        source->readMetadata();
        if (!hasMetadata(*source))
            return true;
    } catch (const Exiv2::AnyError&) {
        return true; // nothing readable to keep
    } catch (const std::exception&) {
        return true;
    }

    int width = 0;
    int height = 0;
    if (!frameSize(jpegBytes, width, height))
        return fail(QStringLiteral("The saved picture is no JPEG file"));

    try {
        Exiv2::Image::AutoPtr target = openBytes(jpegBytes);
        copyMetadata(*source, *target);
        Exiv2::ExifData& exif = target->exifData();
        describeSavedPicture(exif, target->xmpData(), width, height);
        const bool replaceThumbnail = hasThumbnail(exif);
        Exiv2::ExifThumb(exif).erase();
        target->writeMetadata();
        QByteArray written = contentsOf(*target);

        // The thumbnail is made from the written file, whose orientation is now 1, so the
        // decoder turns nothing.
        if (replaceThumbnail) {
            const QByteArray thumbnail = thumbnailOf(written);
            if (!thumbnail.isEmpty()) {
                try {
                    Exiv2::ExifThumb(exif).setJpegThumbnail(
                        reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()),
                        long(thumbnail.size()), Exiv2::URational(72, 1), Exiv2::URational(72, 1),
                        2);
                    target->writeMetadata();
                    written = contentsOf(*target);
                } catch (const Exiv2::AnyError&) {
                    // Too big for the EXIF segment beside the rest: the file goes without one.
                }
            }
        }
        jpegBytes = written;
        return true;
    } catch (const Exiv2::AnyError& e) {
        return fail(QStringLiteral("The photo's metadata could not be written: %1")
                        .arg(QString::fromStdString(e.what())));
    } catch (const std::exception& e) {
        return fail(QStringLiteral("The photo's metadata could not be written: %1")
                        .arg(QString::fromLocal8Bit(e.what())));
    }
}
