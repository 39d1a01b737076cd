// The preparing pass's workers: the main images of a list of photos made on several cores at
// once, handed over strictly in list order, so that the pass can stop after any photo (its
// cap reached, or cancelled) exactly as if it made them one by one.
#pragma once

#include "TResizeImageThread.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace upload {

class PreparePipeline : public QObject
{
public:
    // Called on the window's thread, in list order: the photo's index and its main image, or
    // none when it cannot be made within the limits.
    using PreparedHandler = std::function<void(int index, const std::optional<UploadImage>&)>;
    // Called once after the last photo was handed over (never after cancel()).
    using FinishedHandler = std::function<void()>;

    // maxWidth × maxHeight and maxBytes as for ResizeMode::MainImage; at most `threads`
    // photos are made or waiting to be handed over at a time.
    PreparePipeline(QStringList files, int maxWidth, int maxHeight, qint64 maxBytes, int threads,
                    PreparedHandler prepared, FinishedHandler finished, QObject* parent = nullptr);
    ~PreparePipeline() override;

    void start();
    // Stops every worker and waits for them; nothing more is handed over. Safe inside the
    // prepared handler. Do not destroy the pipeline from inside a handler (deleteLater).
    void cancel();
    bool isActive() const { return mStarted && !mCancelled && !mDone; }

private:
    void startWorkers();
    void handOver();

    const QStringList mFiles;
    const int mMaxWidth;
    const int mMaxHeight;
    const qint64 mMaxBytes;
    const int mThreads;
    const PreparedHandler mPrepared;
    const FinishedHandler mFinished;

    std::map<int, std::unique_ptr<TResizeImageThread>> mRunning;
    std::map<int, std::optional<UploadImage>> mReady;
    // Workers that answered and are about to end.
    std::set<int> mAnswered;
    int mNextToStart = 0;
    int mNextToHandOver = 0;
    bool mStarted = false;
    bool mCancelled = false;
    bool mDone = false;
    bool mHandingOver = false;
};

} // namespace upload
