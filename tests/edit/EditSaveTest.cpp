#include "EditTestSupport.h"
#include "ExifThumbnail.h"
#include "Geometry.h"
#include "ImagingResult.h"

#include <QDir>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace edittest;
using namespace imaging;

namespace {

class EditSaveTest : public testing::Test
{
protected:
    QString path(const char* name) const { return mDir.filePath(QLatin1String(name)); }
    QStringList leftovers() const
    {
        return QDir(mDir.path())
            .entryList(QDir::Files | QDir::Hidden)
            .filter(QStringLiteral(".part"));
    }

    QTemporaryDir mDir;
};

// Mean of the red channel over a corner block, which tells the corners of picture() apart.
int cornerRed(const Bitmap& bitmap, bool right, bool bottom)
{
    int sum = 0;
    for (int y = 0; y < 8; ++y) {
        const std::uint8_t* p = bitmap.scanLine(bottom ? bitmap.height() - 1 - y : y);
        for (int x = 0; x < 8; ++x)
            sum += p[3 * (right ? bitmap.width() - 1 - x : x)];
    }
    return sum / 64;
}

} // namespace

TEST_F(EditSaveTest, ReadOnlyFileIsRefusedWithTheSystemText)
{
    const QString file = path("photo.jpg");
    ASSERT_TRUE(writeJpeg(file, picture(64, 48)));
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0444), 0);
    const QByteArray before = readAll(file);

    Harness h(EditMode::Apply);
    Bitmap source;
    ASSERT_EQ(loadBitmap(file, source), Success);
    ASSERT_TRUE(h.engine->Open(&source, file));
    h.engine->GreyScale();
    ASSERT_TRUE(h.finish());
    QString error;
    EXPECT_FALSE(h.engine->Save(file, &error));
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(EACCES)) +
                         QStringLiteral("\r\nFile is read-only."));
    EXPECT_EQ(readAll(file), before);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(EditSaveTest, NewFileKeepsPermissionsOfTheOldAndBmpByName)
{
    const QString file = path("photo.jpg");
    ASSERT_TRUE(writeJpeg(file, picture(64, 48)));
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0640), 0);
    Harness h(EditMode::Apply);
    Bitmap source;
    ASSERT_EQ(loadBitmap(file, source), Success);
    ASSERT_TRUE(h.engine->Open(&source, file));
    h.engine->Resize(32, 24);
    ASSERT_TRUE(h.finish());
    QString error;
    ASSERT_TRUE(h.engine->Save(file, &error)) << error.toStdString();
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    PictureInfo info;
    ASSERT_EQ(fileInfo(file, info), Success);
    EXPECT_EQ(info.width, 32);

    ASSERT_TRUE(h.engine->Save(path("copy.bmp"), &error)) << error.toStdString();
    EXPECT_TRUE(readAll(path("copy.bmp")).startsWith("BM"));
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(EditSaveTest, FullDiskLeavesTheOldFileAsItWas)
{
    const QString file = path("photo.jpg");
    ASSERT_TRUE(writeJpeg(file, picture(64, 48)));
    const QByteArray before = readAll(file);
    Harness h(EditMode::Apply);
    Bitmap source = picture(1200, 900); // its file is far larger than the limit below
    ASSERT_TRUE(h.engine->Open(&source, file));
    h.engine->Rotate(false, 3);
    ASSERT_TRUE(h.finish());
    ASSERT_TRUE(h.engine->isIdle());

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16384, 16384};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        QString error;
        const bool saved = h.engine->Save(file, &error);
        const bool told = error == QString::fromLocal8Bit(std::strerror(EFBIG));
        ::_exit(!saved && told ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readAll(file), before);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(EditSaveTest, TurnSaveTurnSaveGivesTwoTurns)
{
    const QString file = path("photo.jpg");
    ASSERT_TRUE(writeJpeg(file, picture(1024, 768)));
    Harness h(EditMode::Apply);
    Bitmap source;
    ASSERT_EQ(loadBitmap(file, source), Success);
    const int topLeft = cornerRed(source, false, false);
    const int bottomRight = cornerRed(source, true, true);
    ASSERT_TRUE(h.engine->Open(&source, file));
    QString error;
    for (int round = 0; round < 2; ++round) {
        h.engine->Rotate(false, 90);
        ASSERT_TRUE(h.finish());
        ASSERT_TRUE(h.engine->Save(file, &error)) << error.toStdString();
    }
    Bitmap saved;
    ASSERT_EQ(loadBitmap(file, saved), Success);
    ASSERT_EQ(saved.width(), 1024);
    ASSERT_EQ(saved.height(), 768);
    EXPECT_NEAR(cornerRed(saved, true, true), topLeft, 3);
    EXPECT_NEAR(cornerRed(saved, false, false), bottomRight, 3);
    // The file matches what the editor shows.
    const Bitmap shown = h.current();
    EXPECT_NEAR(cornerRed(shown, true, true), cornerRed(saved, true, true), 3);
}

// A camera that was held upright writes the picture on its side with orientation 6; whether
// the save moves the file's blocks (a mirror) or encodes the pixels (grey), the saved file
// shows what the editor showed, with orientation 1.
TEST_F(EditSaveTest, SavedPhotoIsUprightWhetherBlocksMovedOrEncoded)
{
    QByteArray stored;
    ASSERT_EQ(saveBitmapToBuffer(picture(320, 240), FileFormat::Jpeg, 2, stored), Success);
    QByteArray thumbnail;
    ASSERT_EQ(saveBitmapToBuffer(picture(160, 120), FileFormat::Jpeg, 2, thumbnail), Success);
    const QByteArray camera = addExifThumbnail(stored, thumbnail, 6);
    ASSERT_FALSE(camera.isEmpty());
    for (const bool mirror : {true, false}) {
        SCOPED_TRACE(mirror ? "mirror" : "grey");
        const QString file = path(mirror ? "mirrored.jpg" : "grey.jpg");
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(camera) == camera.size());
        out.close();
        Harness h(EditMode::Apply);
        Bitmap source;
        ASSERT_EQ(loadBitmap(file, source), Success);
        ASSERT_EQ(source.width(), 240);
        ASSERT_TRUE(h.engine->Open(&source, file));
        if (mirror)
            h.engine->Mirror(true, false);
        else
            h.engine->GreyScale();
        ASSERT_TRUE(h.finish());
        QString error;
        ASSERT_TRUE(h.engine->Save(file, &error)) << error.toStdString();
        PictureInfo info;
        ASSERT_EQ(fileInfo(file, info), Success);
        EXPECT_EQ(info.orientation, 1);
        Bitmap saved;
        ASSERT_EQ(loadBitmap(file, saved), Success);
        const Bitmap shown = h.current();
        ASSERT_EQ(saved.width(), shown.width());
        ASSERT_EQ(saved.height(), shown.height());
        for (const bool right : {false, true}) {
            for (const bool bottom : {false, true})
                EXPECT_NEAR(cornerRed(saved, right, bottom), cornerRed(shown, right, bottom), 4);
        }
    }
}
