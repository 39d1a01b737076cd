#include "JpegPicture.h"

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

namespace exported {

namespace {

// A hostile header may claim a picture of 4 gigapixels; nothing the export writes comes close.
constexpr std::uint64_t kMaxDecodedPixels = 64'000'000;

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info)
{
    auto* error = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, error->message);
    std::longjmp(error->jump, 1);
}

// Warnings (a truncated stream, say) still give a picture; stderr stays quiet.
void onMessage(j_common_ptr, int) {}

// Smallest numerator of n/8 whose scaled size still covers the target, so the area average
// always reduces.
unsigned scaleNumerator(unsigned width, unsigned height, int targetWidth, int targetHeight)
{
    for (unsigned n = 1; n < 8; ++n) {
        const unsigned scaledWidth = (width * n + 7) / 8;
        const unsigned scaledHeight = (height * n + 7) / 8;
        if (scaledWidth >= unsigned(targetWidth) && scaledHeight >= unsigned(targetHeight))
            return n;
    }
    return 8;
}

// Plain C control flow between setjmp and longjmp: no object with a destructor lives in this
// frame. Returns false with libjpeg's reason in message.
bool decodeScaled(const std::uint8_t* data, std::size_t size, int boxWidth, int boxHeight,
                  RgbImage& out, char* message)
{
    jpeg_decompress_struct info;
    ErrorManager error;
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = onError;
    error.base.emit_message = onMessage;
    if (setjmp(error.jump)) {
        std::strcpy(message, error.message);
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (std::uint64_t(info.image_width) * info.image_height > kMaxDecodedPixels) {
        std::strcpy(message, "the picture is too large");
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_EXT_BGRX; // 0x00RRGGBB in a little-endian word
    if (boxWidth > 0 && boxHeight > 0) {
        const FittedSize target =
            fitInto(int(info.image_width), int(info.image_height), boxWidth, boxHeight);
        info.scale_num =
            scaleNumerator(info.image_width, info.image_height, target.width, target.height);
        info.scale_denom = 8;
    }
    jpeg_start_decompress(&info);
    bool allocated = true;
    try {
        out.width = int(info.output_width);
        out.height = int(info.output_height);
        out.pixels.assign(std::size_t(out.width) * std::size_t(out.height), 0);
    } catch (const std::bad_alloc&) {
        allocated = false;
    }
    if (!allocated) {
        std::strcpy(message, "not enough memory for the picture");
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(out.pixels.data() +
                                                  std::size_t(info.output_scanline) * out.width);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// Source spans of one output pixel along an axis: first source index and 16.16 weights.
struct Span
{
    int first = 0;
    std::vector<std::uint32_t> weights;
};

std::vector<Span> spansFor(int sourceLength, int targetLength)
{
    std::vector<Span> spans(static_cast<std::size_t>(targetLength));
    const double ratio = double(sourceLength) / targetLength;
    for (int i = 0; i < targetLength; ++i) {
        const double begin = i * ratio;
        const double end = std::min<double>(sourceLength, (i + 1) * ratio);
        Span& span = spans[std::size_t(i)];
        span.first = int(begin);
        const int last = std::min(sourceLength - 1, int(std::ceil(end)) - 1);
        std::uint32_t total = 0;
        for (int s = span.first; s <= last; ++s) {
            const double covered = std::min<double>(s + 1, end) - std::max<double>(s, begin);
            span.weights.push_back(std::uint32_t(std::lround(covered / ratio * 65536)));
            total += span.weights.back();
        }
        // Rounding must not brighten or darken: the weights add up to exactly one.
        if (span.weights.empty())
            span.weights.push_back(65536);
        else
            span.weights.back() += 65536 - total;
    }
    return spans;
}

// Two packed pixels mixed, weight of b in 0..256: red and blue in one multiply, green in another.
std::uint32_t mix(std::uint32_t a, std::uint32_t b, std::uint32_t weight)
{
    const std::uint32_t keep = 256 - weight;
    const std::uint32_t redBlue = ((a & 0xff00ff) * keep + (b & 0xff00ff) * weight) >> 8;
    const std::uint32_t green = ((a & 0x00ff00) * keep + (b & 0x00ff00) * weight) >> 8;
    return (redBlue & 0xff00ff) | (green & 0x00ff00);
}

struct Sample
{
    int first;
    int second;
    std::uint32_t weight; // of second, 0..256
};

std::vector<Sample> samplesFor(int sourceLength, int targetLength)
{
    std::vector<Sample> samples(static_cast<std::size_t>(targetLength));
    const double ratio = double(sourceLength) / targetLength;
    for (int i = 0; i < targetLength; ++i) {
        const double at = std::clamp((i + 0.5) * ratio - 0.5, 0.0, double(sourceLength - 1));
        const int first = int(at);
        samples[std::size_t(i)] = {first, std::min(first + 1, sourceLength - 1),
                                   std::uint32_t(std::lround((at - first) * 256))};
    }
    return samples;
}

// Bilinear, for reductions to more than half the size, where it loses nothing an average would
// keep; the DCT scaling leaves only those for the fitting.
RgbImage bilinear(const RgbImage& source, int width, int height)
{
    RgbImage out;
    out.width = width;
    out.height = height;
    out.pixels.resize(std::size_t(width) * std::size_t(height));
    const std::vector<Sample> columns = samplesFor(source.width, width);
    const std::vector<Sample> rows = samplesFor(source.height, height);
    for (int y = 0; y < height; ++y) {
        const Sample& row = rows[std::size_t(y)];
        const std::uint32_t* top = source.pixels.data() + std::size_t(row.first) * source.width;
        const std::uint32_t* bottom = source.pixels.data() + std::size_t(row.second) * source.width;
        std::uint32_t* line = out.pixels.data() + std::size_t(y) * width;
        for (int x = 0; x < width; ++x) {
            const Sample& column = columns[std::size_t(x)];
            line[x] =
                mix(mix(top[column.first], top[column.second], column.weight),
                    mix(bottom[column.first], bottom[column.second], column.weight), row.weight);
        }
    }
    return out;
}

} // namespace

FittedSize fitInto(int width, int height, int boxWidth, int boxHeight)
{
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return {};
    if (width <= boxWidth && height <= boxHeight)
        return {width, height};
    const double factor = std::min(double(boxWidth) / width, double(boxHeight) / height);
    return {std::clamp(int(std::lround(width * factor)), 1, boxWidth),
            std::clamp(int(std::lround(height * factor)), 1, boxHeight)};
}

RgbImage resized(const RgbImage& source, int width, int height)
{
    if (width == source.width && height == source.height)
        return source;
    RgbImage out;
    if (source.empty() || width <= 0 || height <= 0)
        return out;
    if (source.width < 2 * width && source.height < 2 * height)
        return bilinear(source, width, height);
    const std::vector<Span> columns = spansFor(source.width, width);
    const std::vector<Span> rows = spansFor(source.height, height);

    // Columns first, into 16.16 sums per channel, then rows.
    std::vector<std::uint32_t> across(std::size_t(width) * source.height * 3);
    for (int y = 0; y < source.height; ++y) {
        const std::uint32_t* in = source.pixels.data() + std::size_t(y) * source.width;
        std::uint32_t* sums = across.data() + std::size_t(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const Span& span = columns[std::size_t(x)];
            std::uint64_t r = 0, g = 0, b = 0;
            for (std::size_t k = 0; k < span.weights.size(); ++k) {
                const std::uint32_t pixel = in[span.first + int(k)];
                r += std::uint64_t(pixel >> 16 & 0xff) * span.weights[k];
                g += std::uint64_t(pixel >> 8 & 0xff) * span.weights[k];
                b += std::uint64_t(pixel & 0xff) * span.weights[k];
            }
            sums[3 * x] = std::uint32_t(r >> 8);
            sums[3 * x + 1] = std::uint32_t(g >> 8);
            sums[3 * x + 2] = std::uint32_t(b >> 8);
        }
    }
    out.width = width;
    out.height = height;
    out.pixels.resize(std::size_t(width) * height);
    std::vector<std::uint64_t> line(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        const Span& span = rows[std::size_t(y)];
        std::fill(line.begin(), line.end(), 0);
        for (std::size_t k = 0; k < span.weights.size(); ++k) {
            const std::uint32_t* sums =
                across.data() + std::size_t(span.first + int(k)) * width * 3;
            for (std::size_t i = 0; i < line.size(); ++i)
                line[i] += std::uint64_t(sums[i]) * span.weights[k];
        }
        std::uint32_t* row = out.pixels.data() + std::size_t(y) * width;
        for (int x = 0; x < width; ++x) {
            const auto channel = [&](int c) {
                return std::min<std::uint64_t>(255, (line[3 * x + c] + (1u << 23)) >> 24);
            };
            row[x] = std::uint32_t(channel(0) << 16 | channel(1) << 8 | channel(2));
        }
    }
    return out;
}

RgbImage decodeJpeg(std::span<const std::uint8_t> bytes, int boxWidth, int boxHeight)
{
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        throw PictureError("it is not a JPEG picture");
    RgbImage decoded;
    char message[JMSG_LENGTH_MAX] = {};
    if (!decodeScaled(bytes.data(), bytes.size(), boxWidth, boxHeight, decoded, message))
        throw PictureError(message);
    if (boxWidth <= 0 || boxHeight <= 0)
        return decoded;
    const FittedSize target = fitInto(decoded.width, decoded.height, boxWidth, boxHeight);
    if (target.width == decoded.width && target.height == decoded.height)
        return decoded;
    return resized(decoded, target.width, target.height);
}

} // namespace exported
