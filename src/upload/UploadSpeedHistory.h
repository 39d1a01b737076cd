// Upload speed samples of the process and the estimate drawn from them.
#pragma once

#include <QtGlobal>

#include <mutex>
#include <vector>

namespace upload {

class UploadSpeedHistory
{
public:
    static constexpr qint32 kMinSampleSize = 10000;

    // Kept only for a body of at least kMinSampleSize bytes and a speed above 0.
    void add(qint32 size, double bytesPerSecond);

    // 0 below kMinSampleSize; else from the newest at most 3 samples whose size d has
    // d - size/2 < Size < d + size/2: their total size over their total time.
    double estimate(qint32 size) const;
    int count() const;

private:
    struct Sample
    {
        qint32 size;
        double speed;
    };

    // The worker appends while the window estimates.
    mutable std::mutex mMutex;
    std::vector<Sample> mSamples;
};

} // namespace upload
