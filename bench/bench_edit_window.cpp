// The edit frame on a 24-megapixel photo, offscreen: opening it until the picture is painted,
// saving it after an edit, and the longest the window's thread goes without turning its event
// loop while the engine works on a request. Prints one table; extra arguments are ignored.
#include "CameraPhoto.h"
#include "EventLoopWait.h"
#include "GuiStallMonitor.h"
#include "OffscreenDefault.h"
#include "TfrmEditPicture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kRuns = 5;
constexpr int kStallTick = 1; // ms

struct Row
{
    std::string name;
    double best = -1;
    double median = -1;
    double worst = -1;
    std::string goal;
    double limit = 0;
};

Row summarise(std::string name, std::vector<double> ms, std::string goal, double limit)
{
    Row row{std::move(name), -1, -1, -1, std::move(goal), limit};
    if (ms.empty())
        return row;
    std::sort(ms.begin(), ms.end());
    row.best = ms.front();
    row.median = ms[ms.size() / 2];
    row.worst = ms.back();
    return row;
}

double since(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// A frame the size of the photo area on a 1280 × 800 screen.
struct Frame
{
    Frame()
    {
        frame.resize(1270, 680);
        QObject::connect(&frame, &TfrmEditPicture::actionEnded, [this] { ++ended; });
    }
    QAbstractButton* button(const char* name) const
    {
        return frame.findChild<QAbstractButton*>(QLatin1String(name));
    }
    // Clicks and turns the event loop until the engine's end.
    bool apply(const char* name)
    {
        const int awaited = ended + 1;
        button(name)->click();
        return pumpEventsUntil([&] { return ended >= awaited; }, 60s);
    }

    TfrmEditPicture frame;
    int ended = 0;
};

// From the double-click's call to the painted picture: load, screen copy, show, paint.
Row timeOpen(const QString& photo)
{
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        Frame f;
        QElapsedTimer clock;
        clock.start();
        if (!f.frame.Open(photo))
            return summarise("open and show", {}, "< 500", 500);
        f.frame.repaint();
        ms.push_back(since(clock));
        f.frame.requestClose();
    }
    return summarise("open and show (double-click to picture)", ms, "< 500", 500);
}

// The Save button after one edit, the name given without a dialog.
Row timeSave(const QString& photo, const QString& target, const char* edit, const char* name)
{
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        Frame f;
        f.frame.setSaveNameChooser([&](QFileDialog&) { return target; });
        if (!f.frame.Open(photo) || !f.apply(edit))
            return summarise(name, {}, "< 1000", 1000);
        QElapsedTimer clock;
        clock.start();
        f.button("btnSave")->click();
        ms.push_back(since(clock));
        if (f.frame.isModified()) // the save failed
            return summarise(name, {}, "< 1000", 1000);
        f.frame.requestClose();
    }
    return summarise(name, ms, "< 1000", 1000);
}

// The GUI thread's longest stall from the click to the engine's end.
Row longestStall(const QString& photo, const char* tool, const char* name)
{
    std::vector<double> gaps;
    for (int i = 0; i < kRuns; ++i) {
        Frame f;
        if (!f.frame.Open(photo))
            return summarise(name, {}, "<= 16", 16);
        f.frame.show();
        pumpFor(50ms);
        GuiStallMonitor stalls(kStallTick);
        stalls.start();
        const bool done = f.apply(tool);
        stalls.stop();
        if (!done)
            return summarise(name, {}, "<= 16", 16);
        gaps.push_back(stalls.longestMs());
        // Closing would ask to save the edit; the frame simply goes.
    }
    return summarise(name, gaps, "<= 16", 16);
}

void print(const std::vector<Row>& rows)
{
    std::printf("%-52s %9s %9s %9s  %-8s %s\n", "edit frame, 6000 x 4000 JPEG", "best ms", "median",
                "worst", "goal", "met");
    for (const Row& row : rows) {
        const bool met = row.median <= row.limit;
        std::printf("%-52s %9.1f %9.1f %9.1f  %-8s %s\n", row.name.c_str(), row.best, row.median,
                    row.worst, row.goal.c_str(),
                    row.worst < 0 ? "failed"
                    : met         ? "yes"
                                  : "NO");
    }
}

} // namespace

int main(int argc, char** argv)
{
    useOffscreenUnlessSet();
    QApplication application(argc, argv);
    QTemporaryDir folder; // on disk, like a user's photos
    const QString photo = folder.filePath(QStringLiteral("photo.jpg"));
    if (!folder.isValid() || !writeCameraJpeg(photo, kWidth, kHeight, 0)) {
        std::fprintf(stderr, "could not make the test photo\n");
        return 1;
    }
    const QString saved = folder.filePath(QStringLiteral("saved.jpg"));

    std::vector<Row> rows;
    rows.push_back(timeOpen(photo));
    rows.push_back(timeSave(photo, saved, "btnRotate90", "save after a quarter turn (lossless)"));
    rows.push_back(timeSave(photo, saved, "btnGrayScale", "save after black & white (encoded)"));
    rows.push_back(longestStall(photo, "btnRotate90", "longest stall: quarter turn"));
    rows.push_back(longestStall(photo, "btnFlipH", "longest stall: flip"));
    rows.push_back(longestStall(photo, "btnGrayScale", "longest stall: black & white"));
    print(rows);
    std::printf("median of %d runs; a stall is the longest time beyond one beat of a %d ms timer "
                "in which none came, from the click to the engine's end\n",
                kRuns, kStallTick);
    return 0;
}
