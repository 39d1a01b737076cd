#include "LosslessJpeg.h"

#include "Bitmap.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "PictureInfo.h"

#include <turbojpeg.h>

#include <array>
#include <cstdint>
#include <memory>

using namespace imaging;

namespace {

// The eight orientations as 2 × 2 matrices on pixel positions measured from the picture's
// centre, y pointing down: where a stored pixel ends up on screen.
struct Matrix
{
    int a, b, c, d; // (x, y) -> (a·x + b·y, c·x + d·y)
    bool operator==(const Matrix&) const = default;
};

constexpr std::array<Matrix, 8> kOrientations{{
    {1, 0, 0, 1},   // 1 as stored
    {-1, 0, 0, 1},  // 2 mirrored left to right
    {-1, 0, 0, -1}, // 3 half turn
    {1, 0, 0, -1},  // 4 mirrored top to bottom
    {0, 1, 1, 0},   // 5 transposed
    {0, -1, 1, 0},  // 6 a quarter clockwise
    {0, -1, -1, 0}, // 7 transverse
    {0, 1, -1, 0},  // 8 a quarter anticlockwise
}};

Matrix matrixOf(int orientation)
{
    return orientation >= 1 && orientation <= 8 ? kOrientations[orientation - 1] : kOrientations[0];
}

Matrix matrixOf(LosslessStep step)
{
    switch (step) {
    case LosslessStep::Rotate90:
        return matrixOf(6);
    case LosslessStep::Rotate180:
        return matrixOf(3);
    case LosslessStep::Rotate270:
        return matrixOf(8);
    case LosslessStep::FlipHorizontal:
        return matrixOf(2);
    case LosslessStep::FlipVertical:
        return matrixOf(4);
    }
    return matrixOf(1);
}

// after ∘ before: first before, then after.
Matrix compose(const Matrix& after, const Matrix& before)
{
    return {after.a * before.a + after.b * before.c, after.a * before.b + after.b * before.d,
            after.c * before.a + after.d * before.c, after.c * before.b + after.d * before.d};
}

// TurboJPEG's operation for each orientation, in the same order.
constexpr std::array<int, 8> kOperations{TJXOP_NONE,       TJXOP_HFLIP,     TJXOP_ROT180,
                                         TJXOP_VFLIP,      TJXOP_TRANSPOSE, TJXOP_ROT90,
                                         TJXOP_TRANSVERSE, TJXOP_ROT270};

struct HandleCloser
{
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct BufferFree
{
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

} // namespace

int combinedOrientation(int orientation, const std::vector<LosslessStep>& steps)
{
    Matrix total = matrixOf(orientation);
    for (const LosslessStep step : steps)
        total = compose(matrixOf(step), total);
    for (int candidate = 1; candidate <= 8; ++candidate)
        if (kOrientations[candidate - 1] == total)
            return candidate;
    return 1; // unreachable: the eight form a group
}

std::optional<QByteArray> losslessTransform(const QByteArray& sourceFileBytes,
                                            const std::vector<LosslessStep>& steps)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(sourceFileBytes.constData());
    const auto size = std::size_t(sourceFileBytes.size());
    PictureInfo info;
    // The pixel limit holds here too: the coefficients of a hostile header would fill memory.
    if (readJpegInfo(data, size, info) != Success || !sizeAllowed(info.width, info.height))
        return std::nullopt;

    const int orientation = combinedOrientation(info.orientation, steps);
    if (orientation == 1)
        return sourceFileBytes;

    std::unique_ptr<void, HandleCloser> handle(tjInitTransform());
    if (!handle)
        return std::nullopt;
    tjtransform transform{};
    transform.op = kOperations[orientation - 1];
    transform.options = TJXOPT_PERFECT | (info.progressive ? TJXOPT_PROGRESSIVE : 0);
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    // Stopping on a warning keeps damaged data from being carried over as if it were sound;
    // the ordinary save then reports it.
    const int failed =
        tjTransform(handle.get(), data, static_cast<unsigned long>(size), 1, &output, &outputSize,
                    &transform, TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS);
    const std::unique_ptr<unsigned char, BufferFree> owned(output);
    if (failed != 0 || !output || outputSize == 0)
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char*>(output), qsizetype(outputSize));
}
