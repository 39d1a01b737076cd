// Encodes an accepted snapshot as JPEG and stores it as the next "KVF<n>.jpg" of a folder,
// off the window's thread: a large frame takes a while to encode, and the save waits for
// the disk.
#pragma once

#include "NumberedPicture.h"
#include "WorkerThread.h"

#include <QImage>

class TSaveSnapshotThread : public WorkerThread
{
public:
    // Sent once the save is over, successful or not; result() tells.
    static constexpr int WM_SNAPSHOT_SAVED = WM_USER + 1;
    static constexpr int kJpegQuality = 90;

    TSaveSnapshotThread(WindowMessenger::Handler handler, QString folder, QImage frame);
    ~TSaveSnapshotThread() override;

    // Read while the worker waits in its message, or after stop().
    const acquire::SavedPicture& result() const { return mResult; }
    // False when the frame could not be encoded (then nothing was written).
    bool encoded() const { return mEncoded; }

protected:
    void execute() override;

private:
    const QString mFolder;
    const QImage mFrame;
    acquire::SavedPicture mResult;
    bool mEncoded = false;
};
