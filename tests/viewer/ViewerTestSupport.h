// What the viewer's widget tests share: the application object, a folder of real JPEG files
// and a record of the photos the viewer reports shown.
#pragma once

#include "EventLoopWait.h"
#include "GradientPictures.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "TestApplication.h"
#include "TfrmViewer.h"

#include <QFile>
#include <QLabel>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace viewertest {

// JPEG and other files in a temporary folder of their own.
class PhotoFolder
{
public:
    QString jpeg(const QString& name, int width, int height) const
    {
        const QByteArray bytes = testsupport::jpegBytes(width, height);
        return file(name, bytes);
    }
    QString jpeg(const char* name, int width, int height) const
    {
        return jpeg(QString::fromLatin1(name), width, height);
    }
    QString file(const char* name, const QByteArray& bytes) const
    {
        return file(QString::fromLatin1(name), bytes);
    }
    QString file(const QString& name, const QByteArray& bytes) const
    {
        const QString path = mDir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
        return path;
    }
    QStringList jpegs(int count, int width = 320, int height = 240) const
    {
        QStringList paths;
        for (int i = 0; i < count; ++i)
            paths << jpeg(QStringLiteral("photo%1.jpg").arg(i), width, height);
        return paths;
    }

private:
    QTemporaryDir mDir;
};

// Every pictureShown, in order, with whether a picture was on screen then.
class ShownRecord
{
public:
    explicit ShownRecord(TfrmViewer& viewer)
    {
        auto* image = viewer.findChild<QLabel*>(QStringLiteral("Image1"));
        QObject::connect(&viewer, &TfrmViewer::pictureShown, &viewer, [this, image](int index) {
            indexes.push_back(index);
            withPicture.push_back(image->isVisible());
        });
    }
    bool waitFor(std::size_t count, std::chrono::milliseconds limit = 10s) const
    {
        return pumpUntil([&] { return indexes.size() >= count; }, limit);
    }

    std::vector<int> indexes;
    std::vector<bool> withPicture;
};

} // namespace viewertest
