#include "MainWindowMetrics.h"
#include "SingleInstance.h"
#include "StartUp.h"
#include "TfrmMain.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(MainWindowMetrics, treeLimitKeepsOneThumbnailColumn)
{
    // 652 - 10 - 4 - 8 - 12 - 24 - 92 - 153 - 16 - 2
    EXPECT_EQ(maximumTreeWidth(MainWindowMetrics{}), 331);

    MainWindowMetrics wideScrollBar;
    wideScrollBar.verticalScrollBarWidth = 20;
    wideScrollBar.borderWidth = 2;
    EXPECT_EQ(maximumTreeWidth(wideScrollBar), 331 - 4 - 2);
}

TEST(MainWindowMetrics, labelsAreCentredOnTheirButtons)
{
    EXPECT_EQ(labelTopBesideButton(227, 24, 10), 234);
    EXPECT_EQ(labelTopBesideButton(87, 24, 30), 84); // a two-line label reaches above
}

TEST(MainWindowCaption, showsTheVersionOrNothingBetweenTheBrackets)
{
    EXPECT_EQ(TfrmMain::captionFor(QStringLiteral("Velko Fotodesk"), QStringLiteral("1.0.0.0")),
              QStringLiteral("Velko Fotodesk (v1.0.0.0)"));
    EXPECT_EQ(TfrmMain::captionFor(QStringLiteral("Velko Fotodesk"), QString()),
              QStringLiteral("Velko Fotodesk (v)"));
}

TEST(DriveArgument, isTheFirstArgumentMadeAbsolute)
{
    EXPECT_TRUE(driveArgument({QStringLiteral("velko-fotodesk")}).isEmpty());
    EXPECT_TRUE(driveArgument({QStringLiteral("velko-fotodesk"), QString()}).isEmpty());
    EXPECT_EQ(driveArgument({QStringLiteral("velko-fotodesk"), QStringLiteral("/media/card")}),
              QStringLiteral("/media/card"));
    EXPECT_EQ(driveArgument({QStringLiteral("velko-fotodesk"), QStringLiteral("card"),
                             QStringLiteral("ignored")}),
              QDir::currentPath() + QStringLiteral("/card"));
}

TEST(DriveRequestFrame, roundTripsInPiecesAndBackToBack)
{
    const QByteArray first = DriveRequestFrame::encode({QStringLiteral("/media/Ünï card"), true});
    const QByteArray second = DriveRequestFrame::encode({QString(), false});
    QByteArray stream = first + second;

    // Byte by byte: nothing is decoded until a frame is whole.
    QByteArray buffer;
    std::vector<DriveRequest> decoded;
    for (char byte : stream) {
        buffer.append(byte);
        bool malformed = true;
        if (auto request = DriveRequestFrame::decode(buffer, &malformed))
            decoded.push_back(*request);
        ASSERT_FALSE(malformed);
    }
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].drivePath, QStringLiteral("/media/Ünï card"));
    EXPECT_TRUE(decoded[0].fromSecondCopy);
    EXPECT_TRUE(decoded[1].drivePath.isEmpty());
    EXPECT_FALSE(decoded[1].fromSecondCopy);
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(DriveRequestFrame, rejectsGarbageAndOversizedFrames)
{
    bool malformed = false;
    QByteArray oversized("\x7f\xff\xff\xff", 4);
    EXPECT_FALSE(DriveRequestFrame::decode(oversized, &malformed));
    EXPECT_TRUE(malformed);

    QByteArray wrongMagic = DriveRequestFrame::encode({QStringLiteral("/x"), true});
    wrongMagic[5] = 'X';
    EXPECT_FALSE(DriveRequestFrame::decode(wrongMagic, &malformed));
    EXPECT_TRUE(malformed);

    QByteArray truncatedPayload("\x00\x00\x00\x03\x56\x46\x44", 7);
    EXPECT_FALSE(DriveRequestFrame::decode(truncatedPayload, &malformed));
    EXPECT_TRUE(malformed);
}
