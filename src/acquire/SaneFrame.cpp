#include "SaneFrame.h"

#include "ImagingResult.h"

#include <algorithm>
#include <cstring>

namespace {

using Format = SaneFrameParameters::Format;

int channelOf(Format format)
{
    switch (format) {
    case Format::Green:
        return 1;
    case Format::Blue:
        return 2;
    default:
        return 0;
    }
}

bool isPass(Format format)
{
    return format == Format::Red || format == Format::Green || format == Format::Blue;
}

inline bool bitAt(const std::uint8_t* line, int i)
{
    return (line[i >> 3] >> (7 - (i & 7))) & 1;
}

// 16-bit samples come in the machine's own byte order.
inline std::uint8_t sample16(const std::uint8_t* line, int i)
{
    std::uint16_t value;
    std::memcpy(&value, line + 2 * i, sizeof value);
    return std::uint8_t(value >> 8);
}

} // namespace

void SaneFrameAssembler::reset()
{
    *this = SaneFrameAssembler();
}

bool SaneFrameAssembler::beginFrame(const SaneFrameParameters& parameters)
{
    if (mFailed)
        return false;
    const auto fail = [this] {
        mFailed = true;
        return false;
    };
    const bool pass = isPass(parameters.format);
    // A page is one grey or RGB frame, or passes until the last; nothing follows its end.
    if (mEnded || (mHadFrame && (!pass || !isPass(mParameters.format))))
        return fail();
    if (parameters.pixelsPerLine <= 0 || parameters.bytesPerLine <= 0)
        return fail();
    if (parameters.depth != 1 && parameters.depth != 8 && parameters.depth != 16)
        return fail();
    const int channels = parameters.format == Format::Rgb ? 3 : 1;
    const std::int64_t bits = std::int64_t(parameters.pixelsPerLine) * channels * parameters.depth;
    if (parameters.bytesPerLine < (bits + 7) / 8)
        return fail();
    if (mHadFrame && parameters.pixelsPerLine != mWidth)
        return fail();
    if (!imaging::sizeAllowed(parameters.pixelsPerLine, std::max(parameters.lines, 1)))
        return fail();

    if (!mHadFrame) {
        mWidth = parameters.pixelsPerLine;
        mBits = parameters.format == Format::Gray ? (parameters.depth == 1 ? 1 : 8) : 24;
        if (!reserveRows(parameters.lines > 0 ? parameters.lines : 64))
            return fail();
        // A later pass that ends early must leave its colour dark, not whatever was there.
        if (pass)
            std::memset(mPage.bits(), 0, mPage.byteCount());
    }
    mParameters = parameters;
    mHadFrame = true;
    mRows = 0;
    mPartial.clear();
    return true;
}

bool SaneFrameAssembler::append(const std::uint8_t* data, std::size_t size)
{
    if (mFailed || !mHadFrame || mEnded)
        return false;
    const std::size_t lineBytes = std::size_t(mParameters.bytesPerLine);
    if (!mPartial.empty()) {
        const std::size_t take = std::min(size, lineBytes - mPartial.size());
        mPartial.insert(mPartial.end(), data, data + take);
        data += take;
        size -= take;
        if (mPartial.size() < lineBytes)
            return true;
        convertLine(mPartial.data());
        mPartial.clear();
    }
    for (; size >= lineBytes && !mFailed; data += lineBytes, size -= lineBytes)
        convertLine(data);
    if (!mFailed)
        mPartial.assign(data, data + size);
    return !mFailed;
}

void SaneFrameAssembler::endFrame()
{
    mPartial.clear();
    if (mHadFrame && mParameters.lastFrame)
        mEnded = true;
}

bool SaneFrameAssembler::isComplete() const
{
    return mEnded && !mFailed && mPageRows > 0;
}

int SaneFrameAssembler::takeBitmap(imaging::Bitmap& out)
{
    if (!isComplete())
        return imaging::NoBitmap;
    imaging::Bitmap bitmap;
    if (mPage.height() == mPageRows) {
        bitmap.swap(mPage);
    } else {
        const int result = bitmap.allocate(mWidth, mPageRows);
        if (result != imaging::Success)
            return result;
        std::memcpy(bitmap.bits(), mPage.bits(), bitmap.byteCount());
    }
    bitmap.setBitsPerPixel(mBits);
    out.swap(bitmap);
    reset();
    return imaging::Success;
}

bool SaneFrameAssembler::reserveRows(int rows)
{
    if (rows <= mPage.height())
        return true;
    imaging::Bitmap larger;
    if (larger.allocate(mWidth, rows) != imaging::Success)
        return false;
    if (mPageRows > 0)
        std::memcpy(larger.bits(), mPage.bits(), mPage.stride() * std::size_t(mPageRows));
    if (isPass(mParameters.format) && mHadFrame)
        std::memset(larger.scanLine(mPageRows), 0, larger.stride() * std::size_t(rows - mPageRows));
    mPage.swap(larger);
    return true;
}

void SaneFrameAssembler::convertLine(const std::uint8_t* line)
{
    const std::size_t rowBytes = std::size_t(mWidth) * 3;
    if (mRows >= mPageRows) {
        // Lines beyond the height given up front (or any line of a hand scanner) grow the
        // page, by half again each time, up to the pixel limit.
        if (mPageRows >= mPage.height()) {
            const std::int64_t wanted = std::int64_t(mPageRows) + mPageRows / 2 + 16;
            const std::int64_t rows =
                imaging::sizeAllowed(mWidth, wanted) ? wanted : std::int64_t(mPageRows) + 1;
            if (!imaging::sizeAllowed(mWidth, rows) || !reserveRows(int(rows))) {
                mFailed = true;
                return;
            }
        }
        ++mPageRows;
    }
    std::uint8_t* out = mPage.scanLine(mRows);
    ++mRows;
    const int width = mWidth;
    const int depth = mParameters.depth;
    switch (mParameters.format) {
    case Format::Gray:
        for (int x = 0; x < width; ++x, out += 3) {
            // In line art a set bit is black.
            const std::uint8_t value = depth == 1   ? (bitAt(line, x) ? 0 : 255)
                                       : depth == 8 ? line[x]
                                                    : sample16(line, x);
            out[0] = out[1] = out[2] = value;
        }
        break;
    case Format::Rgb:
        if (depth == 8) {
            std::memcpy(out, line, rowBytes);
            break;
        }
        for (int i = 0; i < width * 3; ++i)
            out[i] = depth == 1 ? (bitAt(line, i) ? 255 : 0) : sample16(line, i);
        break;
    case Format::Red:
    case Format::Green:
    case Format::Blue:
        out += channelOf(mParameters.format);
        for (int x = 0; x < width; ++x, out += 3)
            *out = depth == 1   ? (bitAt(line, x) ? 255 : 0)
                   : depth == 8 ? line[x]
                                : sample16(line, x);
        break;
    }
}
