// Packs photos into a copy of VIEWERDATA.dat built beside this program, the blocks as the
// export writes them: fitted pictures, thumbnails for the viewer, count, title and mode.
//   velko-album-pack OUTPUT viewer|slideshow TITLE PHOTO...
#include "FittedJpeg.h"
#include "TViewerFile.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>

namespace {

constexpr int kBoxWidth = 1920;
constexpr int kBoxHeight = 1080;
constexpr int kThumbnailSize = 90;

bool addJpeg(const std::string& album, const std::string& name,
             const std::optional<QByteArray>& bytes)
{
    return bytes &&
           album::AddViewerResource(album, name, bytes->constData(), std::size_t(bytes->size()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc < 5 ||
        (std::strcmp(argv[2], "viewer") != 0 && std::strcmp(argv[2], "slideshow") != 0)) {
        std::fprintf(stderr, "usage: %s OUTPUT viewer|slideshow TITLE PHOTO...\n", argv[0]);
        return 2;
    }
    const std::string album = argv[1];
    const bool slideshow = std::strcmp(argv[2], "slideshow") == 0;
    const int photos = argc - 4;
    try {
        const auto program =
            std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) /
            "VIEWERDATA.dat";
        std::filesystem::copy_file(program, album,
                                   std::filesystem::copy_options::overwrite_existing);
        album::BeginViewerFile(album, std::uint32_t(2 * photos + 3));
        for (int i = 0; i < photos; ++i) {
            const QString photo = QFile::decodeName(argv[4 + i]);
            const std::string n = std::to_string(i);
            if ((!slideshow && !addJpeg(album, "VELKO_THUMB" + n,
                                        LoadThumbnailStream(photo, kThumbnailSize, 0))) ||
                !addJpeg(album, "VELKO_PIC" + n,
                         LoadFittedJpeg(photo, kBoxWidth, kBoxHeight, 0, true, nullptr))) {
                std::fprintf(stderr, "cannot load %s\n", argv[4 + i]);
                return 1;
            }
        }
        album::AddViewerNumber16(album, "VELKO_NRPICS", std::uint16_t(photos));
        if (*argv[3])
            album::AddViewerText(album, "VELKO_TITLE", argv[3]);
        const std::uint8_t mode = slideshow ? 1 : 0;
        album::AddViewerResource(album, "VELKO_SLIDESHOW", &mode, 1);
        album::EndViewerFile();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
