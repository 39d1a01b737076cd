// What the grid's test programs share: the application object, real picture files and the
// item-ID list of a folder in the test namespace.
#pragma once

#include "BmpCodec.h"
#include "GradientPictures.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "ShellItemIdList.h"
#include "ShellNamespace.h"
#include "TestApplication.h"

#include <QByteArray>
#include <QFile>
#include <QSize>

#include <gtest/gtest.h>

#include <ostream>

namespace gridtest {

using testsupport::ensureApplication;

using testsupport::gradient;
using testsupport::jpegBytes;

inline QByteArray bmpBytes(int width, int height)
{
    QByteArray bytes;
    EXPECT_EQ(imaging::saveBmp(gradient(width, height), bytes), imaging::Success);
    return bytes;
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

// The list of a folder below the home folder, reached through My Documents.
inline ShellItemIdList homeFolder(const QByteArray& relative)
{
    ShellItemIdList id = ShellNamespace::instance().myDocuments();
    for (const QByteArray& name : relative.split('/'))
        id = id + ShellItemIdList(ShellItem{ShellItemKind::Entry, name});
    return id;
}

} // namespace gridtest

// Readable gtest output for sizes.
inline void PrintTo(const QSize& size, std::ostream* os)
{
    *os << size.width() << " x " << size.height();
}
