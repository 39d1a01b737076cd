#include "Cancel.h"
#include "ExifThumbnail.h"
#include "FittedJpeg.h"
#include "TestPictures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace imaging;
using namespace testpictures;

// The grids, the viewer and the wizards load from their own workers at the same time; each
// cancel flag stops only its own caller.
TEST(ConcurrentLoad, WorkersLoadAtOnceAndCancelOnlyThemselves)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("photo.jpg"));
    writeFile(file, encodeJpeg(quadrants(640, 480), JpegOptions().withApp1(exifBlock(6))));

    std::atomic<int> loaded{0};
    std::atomic<int> cancelledButDelivered{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back([&, i] {
            CancelFlag cancel{i == 0 ? 1 : 0};
            for (int n = 0; n < 5; ++n) {
                const auto stream = LoadFittedJpeg(file, 92 + i, 92, 0, i % 2 == 1, &cancel);
                if (i == 0 && stream)
                    ++cancelledButDelivered;
                else if (stream)
                    ++loaded;
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(loaded, 15);
    EXPECT_EQ(cancelledButDelivered, 0);
}

// The grid's decoding threads register their flags with CancelScope; the thumbnail loader
// answers to them on the preview path and the decoding path alike.
TEST(ConcurrentLoad, ThumbnailsHonourEachThreadsRegisteredFlag)
{
    QTemporaryDir dir;
    const QString camera = dir.filePath(QStringLiteral("camera.jpg"));
    writeFile(camera, addExifThumbnail(encodeJpeg(quadrants(640, 480)),
                                       encodeJpeg(quadrants(160, 120)), 6));
    const QString plain = dir.filePath(QStringLiteral("plain.jpg"));
    writeFile(plain, encodeJpeg(quadrants(640, 480)));

    std::atomic<int> loaded{0};
    std::atomic<int> cancelledButDelivered{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back([&, i] {
            CancelFlag cancel{i == 0 ? 1 : 0};
            const CancelScope scope(&cancel);
            for (int n = 0; n < 5; ++n) {
                for (const QString& file : {camera, plain}) {
                    const bool delivered = LoadThumbnailStream(file, 92, 0).has_value();
                    if (i == 0 && delivered)
                        ++cancelledButDelivered;
                    else if (delivered)
                        ++loaded;
                }
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(loaded, 3 * 5 * 2);
    EXPECT_EQ(cancelledButDelivered, 0);
}
