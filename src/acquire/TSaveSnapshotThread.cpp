#include "TSaveSnapshotThread.h"

#include <QBuffer>

TSaveSnapshotThread::TSaveSnapshotThread(WindowMessenger::Handler handler, QString folder,
                                         QImage frame)
    : WorkerThread(std::move(handler)), mFolder(std::move(folder)), mFrame(std::move(frame))
{}

TSaveSnapshotThread::~TSaveSnapshotThread()
{
    stop();
}

void TSaveSnapshotThread::execute()
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    mEncoded = mFrame.save(&buffer, "JPEG", kJpegQuality);
    if (mEncoded)
        mResult =
            acquire::saveNumberedPicture(mFolder, jpeg, acquire::nextPictureNumberIn(mFolder), 1);
    send(WM_SNAPSHOT_SAVED);
}
