#include "ThumbnailCache.h"

#include "Cancel.h"
#include "ExifThumbnail.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "ProgramVersion.h"
#include "QtImage.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using namespace imaging;

namespace {

QByteArray jpegOf(int width, int height, QColor colour)
{
    Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(width, height), Success);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.scanLine(y);
        for (int x = 0; x < width; ++x, row += 3) {
            row[0] = std::uint8_t(colour.red());
            row[1] = std::uint8_t(colour.green());
            row[2] = std::uint8_t(colour.blue());
        }
    }
    QByteArray bytes;
    EXPECT_EQ(saveBitmapToBuffer(bitmap, FileFormat::Jpeg, 2, bytes), Success);
    return bytes;
}

QByteArray bmpOf(int width, int height, QColor colour)
{
    Bitmap bitmap;
    EXPECT_EQ(loadBitmapFromMemory(jpegOf(width, height, colour), bitmap), Success);
    QByteArray bytes;
    EXPECT_EQ(saveBitmapToBuffer(bitmap, FileFormat::Bmp, 0, bytes), Success);
    return bytes;
}

const QColor kPhotoBlue(40, 80, 200);
const QColor kOtherMagenta(255, 0, 255);
const QColor kNewGreen(30, 190, 60);

bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) < 16 && std::abs(a.green() - b.green()) < 16 &&
           std::abs(a.blue() - b.blue()) < 16;
}

QColor centreOf(const QImage& image)
{
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

int modeOf(const QString& path)
{
    struct stat st
    {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

qint64 mtimeOf(const QString& path)
{
    return QFileInfo(path).lastModified().toSecsSinceEpoch();
}

class ThumbnailCacheTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mHome.isValid());
        // Not created beforehand: the loader makes the folders.
        qputenv("XDG_CACHE_HOME", QFile::encodeName(mHome.filePath(QStringLiteral("cache"))));
        ASSERT_TRUE(QDir(mHome.path()).mkpath(QStringLiteral("photos")));
    }

    QString cache() const { return mHome.filePath(QStringLiteral("cache/thumbnails")); }

    QString write(const QString& name, const QByteArray& bytes, const QString& folder = {})
    {
        const QString path =
            (folder.isEmpty() ? mHome.filePath(QStringLiteral("photos")) : folder) + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }

    static void setMtime(const QString& path, qint64 seconds)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::fromSecsSinceEpoch(seconds),
                                     QFileDevice::FileModificationTime));
    }

    // As the standard names entries: md5 of the file's URI.
    static QByteArray uriOf(const QString& path)
    {
        return thumbnailUri(QFileInfo(path).absoluteFilePath());
    }
    static QString entryName(const QString& path)
    {
        return QString::fromLatin1(
                   QCryptographicHash::hash(uriOf(path), QCryptographicHash::Md5).toHex()) +
               QStringLiteral(".png");
    }
    QString normalEntry(const QString& path) const
    {
        return cache() + QStringLiteral("/normal/") + entryName(path);
    }
    QString failEntry(const QString& path) const
    {
        return cache() + QStringLiteral("/fail/velko-fotodesk-") + ProgramFileVersion() + u'/' +
               entryName(path);
    }

    // An entry as another desktop program writes it: URI and MTime, no size.
    void writeForeignEntry(const QString& path, QColor colour, const QByteArray& uri, qint64 mtime,
                           const QString& size = {})
    {
        ASSERT_TRUE(QDir().mkpath(cache() + QStringLiteral("/normal")));
        QImage image(128, 96, QImage::Format_RGB32);
        image.fill(colour);
        image.setText(QStringLiteral("Thumb::URI"), QString::fromLatin1(uri));
        image.setText(QStringLiteral("Thumb::MTime"), QString::number(mtime));
        if (!size.isEmpty())
            image.setText(QStringLiteral("Thumb::Size"), size);
        image.setText(QStringLiteral("Software"), QStringLiteral("another viewer"));
        ASSERT_TRUE(image.save(normalEntry(path), "PNG"));
    }

    static QImage load(const QString& path, int size = 92)
    {
        const auto bytes = LoadCachedThumbnail(path, size, makeColorRef(255, 255, 255));
        return bytes ? decodeImage(*bytes) : QImage();
    }

    QTemporaryDir mHome;
};

// The cache names entries by the exact URI text the desktop's own libraries write; a single
// byte escaped differently makes another name, and the cache is no longer shared.
struct UriCase
{
    const char* name;
    const char* path; // UTF-8
    const char* uri;
};

class FileUri : public testing::TestWithParam<UriCase>
{};

TEST_P(FileUri, IsEscapedAsOtherDesktopProgramsDo)
{
    EXPECT_EQ(thumbnailUri(QString::fromUtf8(GetParam().path)), QByteArray(GetParam().uri));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FileUri,
    testing::Values(UriCase{"Plain", "/home/ann/Pictures/IMG_0001.jpg",
                            "file:///home/ann/Pictures/IMG_0001.jpg"},
                    UriCase{"Space", "/p/Holiday 2 Alps.jpg", "file:///p/Holiday%202%20Alps.jpg"},
                    UriCase{"Brackets", "/p/IMG [1].jpg", "file:///p/IMG%20%5B1%5D.jpg"},
                    UriCase{"Semicolon", "/p/a;b.jpg", "file:///p/a%3Bb.jpg"},
                    UriCase{"HashAndQuestion", "/p/#1?.jpg", "file:///p/%231%3F.jpg"},
                    UriCase{"Percent", "/p/100%.jpg", "file:///p/100%25.jpg"},
                    UriCase{"KeptMarks", "/p/a!$&'()*+,-.:=@_~.jpg",
                            "file:///p/a!$&'()*+,-.:=@_~.jpg"},
                    UriCase{"NonAscii", "/p/\xc3\xa9t\xc3\xa9.jpg", "file:///p/%C3%A9t%C3%A9.jpg"}),
    [](const testing::TestParamInfo<UriCase>& info) { return std::string(info.param.name); });

TEST_F(ThumbnailCacheTest, AValidEntryOfAnotherProgramIsUsedWithoutDecoding)
{
    const QString photo = write(QStringLiteral("photo.jpg"), jpegOf(640, 480, kPhotoBlue));
    writeForeignEntry(photo, kOtherMagenta, uriOf(photo), mtimeOf(photo));

    const QImage shown = load(photo);
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.size(), QSize(92, 69));
    EXPECT_TRUE(near(centreOf(shown), kOtherMagenta));
}

struct StaleCase
{
    std::string name;
    bool otherUri;
    qint64 mtimeShift;
    bool otherSize;
    friend void PrintTo(const StaleCase& c, std::ostream* os) { *os << c.name; }
};

class StaleEntry : public ThumbnailCacheTest, public ::testing::WithParamInterface<StaleCase>
{};

TEST_P(StaleEntry, IsNotUsedAndIsRewritten)
{
    const StaleCase& c = GetParam();
    const QString photo = write(QStringLiteral("photo.jpg"), jpegOf(640, 480, kPhotoBlue));
    const QString size = QString::number(QFileInfo(photo).size() + (c.otherSize ? 1 : 0));
    writeForeignEntry(photo, kOtherMagenta,
                      c.otherUri ? QByteArrayLiteral("file:///elsewhere/photo.jpg") : uriOf(photo),
                      mtimeOf(photo) + c.mtimeShift, size);

    const QImage shown = load(photo);
    ASSERT_FALSE(shown.isNull());
    EXPECT_TRUE(near(centreOf(shown), kPhotoBlue));
    QImage entry;
    ASSERT_TRUE(QImageReader(normalEntry(photo)).read(&entry));
    EXPECT_TRUE(near(centreOf(entry), kPhotoBlue));
    EXPECT_EQ(entry.text(QStringLiteral("Thumb::MTime")), QString::number(mtimeOf(photo)));
}

INSTANTIATE_TEST_SUITE_P(Keys, StaleEntry,
                         ::testing::Values(StaleCase{"OtherUri", true, 0, false},
                                           StaleCase{"OlderMTime", false, -60, false},
                                           StaleCase{"NewerMTime", false, 1, false},
                                           StaleCase{"OtherSize", false, 0, true}),
                         [](const auto& info) { return info.param.name; });

TEST_F(ThumbnailCacheTest, AnEditedPhotoGetsANewThumbnail)
{
    const QString photo = write(QStringLiteral("photo.jpg"), jpegOf(640, 480, kPhotoBlue));
    const qint64 before = mtimeOf(photo);
    EXPECT_TRUE(near(centreOf(load(photo)), kPhotoBlue));

    write(QStringLiteral("photo.jpg"), jpegOf(640, 480, kNewGreen));
    setMtime(photo, before + 5);
    EXPECT_TRUE(near(centreOf(load(photo)), kNewGreen));
    QImage entry;
    ASSERT_TRUE(QImageReader(normalEntry(photo)).read(&entry));
    EXPECT_TRUE(near(centreOf(entry), kNewGreen));
}

struct EntryCase
{
    std::string name;
    QByteArray (*make)();
    QSize entrySize;
    QString mimeType;
    friend void PrintTo(const EntryCase& c, std::ostream* os) { *os << c.name; }
};

class WrittenEntry : public ThumbnailCacheTest, public ::testing::WithParamInterface<EntryCase>
{};

TEST_P(WrittenEntry, CarriesTheKeysAndIsPrivate)
{
    const EntryCase& c = GetParam();
    const QString photo = write(QStringLiteral("photo name.jpg"), c.make());
    ASSERT_FALSE(load(photo).isNull());

    const QString entryPath = normalEntry(photo);
    QImage entry;
    ASSERT_TRUE(QImageReader(entryPath).read(&entry)) << entryPath.toStdString();
    EXPECT_EQ(entry.size(), c.entrySize);
    EXPECT_EQ(entry.text(QStringLiteral("Thumb::URI")).toLatin1(), uriOf(photo));
    EXPECT_EQ(entry.text(QStringLiteral("Thumb::MTime")), QString::number(mtimeOf(photo)));
    EXPECT_EQ(entry.text(QStringLiteral("Thumb::Size")), QString::number(QFileInfo(photo).size()));
    EXPECT_EQ(entry.text(QStringLiteral("Thumb::Mimetype")), c.mimeType);
    EXPECT_TRUE(entry.text(QStringLiteral("Software")).startsWith(QStringLiteral("Velko")));

    EXPECT_EQ(modeOf(entryPath), 0600);
    EXPECT_EQ(modeOf(cache()), 0700);
    EXPECT_EQ(modeOf(cache() + QStringLiteral("/normal")), 0700);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(cache() + QStringLiteral("/normal")).entryList(QDir::Files).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, WrittenEntry,
    ::testing::Values(
        EntryCase{"Landscape", [] { return jpegOf(640, 480, kPhotoBlue); }, QSize(128, 96),
                  QStringLiteral("image/jpeg")},
        EntryCase{"PortraitByOrientation",
                  [] { return addExifThumbnail(jpegOf(640, 480, kPhotoBlue), {}, 6); },
                  QSize(96, 128), QStringLiteral("image/jpeg")},
        EntryCase{"SmallBitmapIsNotEnlarged", [] { return bmpOf(60, 40, kPhotoBlue); },
                  QSize(60, 40), QStringLiteral("image/bmp")}),
    [](const auto& info) { return info.param.name; });

TEST_F(ThumbnailCacheTest, TheCamerasPreviewComesBeforeDecoding)
{
    const QString photo =
        write(QStringLiteral("camera.jpg"),
              addExifThumbnail(jpegOf(640, 480, kPhotoBlue), jpegOf(160, 120, kOtherMagenta)));
    const QImage shown = load(photo);
    ASSERT_FALSE(shown.isNull());
    EXPECT_TRUE(near(centreOf(shown), kOtherMagenta));
}

TEST_F(ThumbnailCacheTest, AnUnreadableFileGetsAFailEntryAndIsNotDecodedAgain)
{
    const QByteArray good = jpegOf(640, 480, kPhotoBlue);
    QByteArray broken = good;
    broken.replace(0, 2, "XX"); // same size, no JPEG any more
    const QString photo = write(QStringLiteral("broken.jpg"), broken);
    const qint64 mtime = mtimeOf(photo);

    EXPECT_TRUE(load(photo).isNull());
    QImage fail;
    ASSERT_TRUE(QImageReader(failEntry(photo)).read(&fail));
    EXPECT_EQ(fail.text(QStringLiteral("Thumb::URI")).toLatin1(), uriOf(photo));
    EXPECT_EQ(fail.text(QStringLiteral("Thumb::MTime")), QString::number(mtime));
    EXPECT_EQ(modeOf(failEntry(photo)), 0600);
    EXPECT_FALSE(QFileInfo::exists(normalEntry(photo)));

    // Readable now, but with the same time and size: the fail entry still answers, so the
    // file was not decoded.
    write(QStringLiteral("broken.jpg"), good);
    setMtime(photo, mtime);
    EXPECT_TRUE(load(photo).isNull());

    // A new modification time makes it retried.
    setMtime(photo, mtime + 5);
    const QImage shown = load(photo);
    ASSERT_FALSE(shown.isNull());
    EXPECT_TRUE(near(centreOf(shown), kPhotoBlue));
    EXPECT_TRUE(QFileInfo::exists(normalEntry(photo)));
}

TEST_F(ThumbnailCacheTest, AFileStillBeingCopiedIsRetriedWhenItGrows)
{
    // A truncated file of the same second: only its size tells the fail entry is stale.
    const QByteArray good = jpegOf(640, 480, kPhotoBlue);
    const QString photo = write(QStringLiteral("copying.jpg"), good.left(good.size() / 2));
    const qint64 mtime = mtimeOf(photo);
    EXPECT_TRUE(load(photo).isNull());
    ASSERT_TRUE(QFileInfo::exists(failEntry(photo)));

    write(QStringLiteral("copying.jpg"), good);
    setMtime(photo, mtime);
    EXPECT_FALSE(load(photo).isNull());
}

TEST_F(ThumbnailCacheTest, NothingIsCachedForFilesInsideTheCache)
{
    ASSERT_TRUE(QDir().mkpath(cache() + QStringLiteral("/large")));
    const QString inside = write(QStringLiteral("photo.jpg"), jpegOf(640, 480, kPhotoBlue),
                                 cache() + QStringLiteral("/large"));
    const QString broken =
        write(QStringLiteral("broken.jpg"), "not a picture", cache() + QStringLiteral("/large"));

    EXPECT_FALSE(load(inside).isNull());
    EXPECT_TRUE(load(broken).isNull());
    EXPECT_FALSE(QFileInfo::exists(cache() + QStringLiteral("/normal")));
    EXPECT_FALSE(QFileInfo::exists(cache() + QStringLiteral("/fail")));
}

TEST_F(ThumbnailCacheTest, ABoxLargerThanNormalBypassesTheCache)
{
    const QString photo = write(QStringLiteral("photo.jpg"), jpegOf(640, 480, kPhotoBlue));
    writeForeignEntry(photo, kOtherMagenta, uriOf(photo), mtimeOf(photo));

    const QImage shown = load(photo, 200);
    EXPECT_EQ(shown.size(), QSize(200, 150));
    EXPECT_TRUE(near(centreOf(shown), kPhotoBlue));
}

TEST_F(ThumbnailCacheTest, ACancelledLoadWritesNothing)
{
    const QString photo = write(QStringLiteral("photo.jpg"), jpegOf(640, 480, kPhotoBlue));
    const QString broken = write(QStringLiteral("broken.jpg"), "not a picture");
    CancelFlag cancel{1};
    {
        const CancelScope scope(&cancel);
        EXPECT_FALSE(LoadCachedThumbnail(photo, 92, 0));
        EXPECT_FALSE(LoadCachedThumbnail(broken, 92, 0));
    }
    EXPECT_FALSE(QFileInfo::exists(cache() + QStringLiteral("/normal")));
    EXPECT_FALSE(QFileInfo::exists(cache() + QStringLiteral("/fail")));
}

// The grid decodes on several threads; they may meet on the same files and entries.
TEST_F(ThumbnailCacheTest, SeveralThreadsShareTheCache)
{
    std::vector<QString> photos;
    for (int i = 0; i < 6; ++i)
        photos.push_back(write(QStringLiteral("photo%1.jpg").arg(i), jpegOf(320, 240, kPhotoBlue)));
    photos.push_back(write(QStringLiteral("broken.jpg"), "not a picture"));

    std::atomic<int> loaded{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int round = 0; round < 3; ++round) {
                for (const QString& photo : photos) {
                    if (LoadCachedThumbnail(photo, 92, 0))
                        ++loaded;
                }
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(loaded, 4 * 3 * 6);
    EXPECT_EQ(QDir(cache() + QStringLiteral("/normal")).entryList(QDir::Files).size(), 6);
    EXPECT_TRUE(QFileInfo::exists(failEntry(photos.back())));
}

} // namespace
