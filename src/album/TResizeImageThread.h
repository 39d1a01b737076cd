// The export's worker: every photo made into its thumbnail (photo viewer only) and its picture
// for the display box, written as blocks of the output file's container in list order. The
// pictures are made on every core; the blocks are written by this worker alone, one by one.
#pragma once

#include "WorkerThread.h"

#include <QSize>
#include <QString>
#include <QStringList>

namespace album {

// wParam: the index of the photo about to be made (0 to N - 1), N once every photo is done,
// or -1 when the export failed (a block could not be written; failure() says why).
inline constexpr int WM_EXPORT_PROGRESS = WM_USER + 1;

struct ExportJob
{
    QString outputFile;
    QStringList files;
    bool slideshow = false; // no thumbnails
    QSize box;              // the pictures are fitted into it
    int threads = 0;        // pictures made at once; 0 for one per core
};

class TResizeImageThread final : public WorkerThread
{
public:
    TResizeImageThread(WindowMessenger::Handler handler, ExportJob job);
    ~TResizeImageThread() override;

    // Inside the handler of WM_EXPORT_PROGRESS only, while the worker waits: the photo the
    // window hands over for index i (the worker checks it against its list; another file, or
    // none, ends the export with -1).
    void setCurrentFile(const QString& fileName);
    // Inside the handler of the last WM_EXPORT_PROGRESS (N or -1) or after the worker ended.
    int picturesWritten() const;
    // Inside the handler of WM_EXPORT_PROGRESS with -1: the system's reason, empty when the
    // failure had none to give (the window handed over the wrong photo, say).
    QString failure() const;

private:
    void execute() override;
    void wakeUp() override;

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace album
