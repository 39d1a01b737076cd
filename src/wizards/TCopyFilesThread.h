// The Get Photos copy worker: copies the chosen files from one folder into another and asks
// its window what to do when a file exists or a copy fails.
#pragma once

#include "CopyFileReadOnlySafe.h"
#include "CopyMessages.h"
#include "WorkerThread.h"

#include <QString>
#include <QStringList>

#include <memory>

class TCopyFilesThread : public WorkerThread
{
public:
    // fileNames are names only, copied from sourceFolder into destinationFolder in order.
    TCopyFilesThread(WindowMessenger::Handler handler, QString sourceFolder,
                     QString destinationFolder, QStringList fileNames);
    ~TCopyFilesThread() override;

    const QString& sourceFolder() const { return mSourceFolder; }
    const QString& destinationFolder() const { return mDestinationFolder; }
    const QStringList& fileNames() const { return mFileNames; }

    // Valid inside the handler of WM_COPYERROR (the worker waits meanwhile): why the copy
    // failed, with the system's text for the window to show.
    const CopyFileFailure& copyFailure() const { return mFailure; }

    // Before start(): how each file is copied (verified unless told otherwise).
    void setCopyOptions(const CopyFileOptions& options) { mOptions = options; }

protected:
    void execute() override;
    void wakeUp() override;

private:
    class Committer;
    struct Staged;
    enum class Outcome
    {
        Done,
        Skipped,
        Cancelled
    };

    Outcome stageOne(int index);
    Outcome reportCommitted(size_t whileAtLeast);
    Outcome settle(int index, bool replace, const CopyFileFailure& failure);
    void reportDone(int index, bool existed);
    void announce(quint32 event, const QString& path);
    bool tryCopy(const QString& source, const QString& destination, bool failIfExists);
    // The window's answer; a question the window never answered (stopped) counts as skip.
    qintptr ask(int message, int index);
    bool stopping() { return isTerminated() || cancelFlag().load() != 0; }
    QString sourcePath(int index) const;
    QString destinationPath(int index) const;

    const QString mSourceFolder;
    const QString mDestinationFolder;
    const QStringList mFileNames;
    CopyFileOptions mOptions;
    CopyFileFailure mFailure;
    bool mReplaceAll = false;
    // Made with the object, so that wakeUp() from the stopping thread always finds it.
    const std::unique_ptr<Committer> mCommitter;
};
