#include "UploadSpeedHistory.h"

namespace upload {

void UploadSpeedHistory::add(qint32 size, double bytesPerSecond)
{
    if (size < kMinSampleSize || !(bytesPerSecond > 0))
        return;
    const std::lock_guard lock(mMutex);
    mSamples.push_back({size, bytesPerSecond});
}

double UploadSpeedHistory::estimate(qint32 size) const
{
    if (size < kMinSampleSize)
        return 0;
    const qint64 half = size / 2;
    double totalSize = 0;
    double totalTime = 0;
    int taken = 0;
    const std::lock_guard lock(mMutex);
    for (auto it = mSamples.rbegin(); it != mSamples.rend() && taken < 3; ++it) {
        const qint64 d = it->size;
        if (d - half < size && size < d + half && it->speed > 0) {
            totalSize += double(d);
            totalTime += double(d) / it->speed;
            ++taken;
        }
    }
    return totalTime > 0 ? totalSize / totalTime : 0;
}

int UploadSpeedHistory::count() const
{
    const std::lock_guard lock(mMutex);
    return int(mSamples.size());
}

} // namespace upload
