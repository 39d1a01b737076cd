#include "JpegCodec.h"

#include "Cancel.h"
#include "Exif.h"
#include "Geometry.h"
#include "ImagingResult.h"

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

// libjpeg reports errors through longjmp. Every function below keeps its C++ objects in a
// heap state created before setjmp, so the jump skips no destructor and no register copy.

namespace imaging {
namespace {

constexpr int kScanLimit = 1000;
constexpr int kJpegCancelled = 10000; // our own message code, beyond libjpeg's

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int result = CorruptFile;
    bool truncated = false;
    bool damaged = false;
};

int resultForError(int code)
{
    switch (code) {
    case kJpegCancelled:
        return Cancelled;
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:
    case JERR_VIRTUAL_BUG:
        return NoMemory;
    case JERR_NO_SOI:
        return FileFormatUnknown;
    case JERR_INPUT_EMPTY:
    case JERR_INPUT_EOF:
        return FileReadFailed;
    case JERR_IMAGE_TOO_BIG:
        return PictureTooLarge;
    default:
        return CorruptFile;
    }
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    auto* error = reinterpret_cast<ErrorManager*>(cinfo->err);
    error->result = resultForError(cinfo->err->msg_code);
    std::longjmp(error->jump, 1);
}

void emitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace messages
    auto* error = reinterpret_cast<ErrorManager*>(cinfo->err);
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
        error->truncated = true;
        break;
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_NOT_SEQUENTIAL:
        error->damaged = true;
        break;
    default:
        break; // extraneous bytes, odd JFIF versions and the like are harmless
    }
}

void outputMessage(j_common_ptr) {}

[[noreturn]] void fail(j_common_ptr cinfo, int code)
{
    cinfo->err->msg_code = code;
    errorExit(cinfo);
}

// A source over memory that tells when it ran dry, so a truncated header can be retried
// with more of the file and truncated pixel data is reported instead of shown grey.
struct MemorySource
{
    jpeg_source_mgr pub;
    const std::uint8_t* data;
    std::size_t size;
    bool ranDry = false;
};

const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    auto* source = reinterpret_cast<MemorySource*>(cinfo->src);
    source->ranDry = true;
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->pub.next_input_byte = kFakeEoi;
    source->pub.bytes_in_buffer = 2;
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    auto* source = &cinfo->src->bytes_in_buffer;
    while (std::size_t(count) > *source) {
        count -= long(*source);
        fillInputBuffer(cinfo);
    }
    cinfo->src->next_input_byte += count;
    cinfo->src->bytes_in_buffer -= std::size_t(count);
}

void termSource(j_decompress_ptr) {}

struct ProgressMonitor
{
    jpeg_progress_mgr pub;
};

void progressMonitor(j_common_ptr cinfo)
{
    if (cancelRequested())
        fail(cinfo, kJpegCancelled);
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kScanLimit)
        fail(cinfo, JERR_BAD_SCAN_SCRIPT);
}

struct Decoder
{
    jpeg_decompress_struct cinfo{};
    ErrorManager error;
    MemorySource source{};
    ProgressMonitor progress{};
    bool created = false;
    Bitmap bitmap;
    std::vector<std::uint8_t> cmykRow;

    Decoder(const std::uint8_t* data, std::size_t size)
    {
        cinfo.err = jpeg_std_error(&error.pub);
        error.pub.error_exit = errorExit;
        error.pub.emit_message = emitMessage;
        error.pub.output_message = outputMessage;
        source.pub.init_source = initSource;
        source.pub.fill_input_buffer = fillInputBuffer;
        source.pub.skip_input_data = skipInputData;
        source.pub.resync_to_restart = jpeg_resync_to_restart;
        source.pub.term_source = termSource;
        source.pub.next_input_byte = data;
        source.pub.bytes_in_buffer = size;
        source.data = data;
        source.size = size;
        progress.pub.progress_monitor = progressMonitor;
    }
    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
    // Only after setjmp: creation may already fail.
    void create()
    {
        jpeg_create_decompress(&cinfo);
        created = true;
        cinfo.src = &source.pub;
        cinfo.progress = &progress.pub;
        // Virtual arrays (a progressive file's coefficients) may not outgrow what the
        // pixel limit allows: six bytes a pixel covers 4:4:4.
        cinfo.mem->max_memory_to_use = long(std::min<std::int64_t>(pixelLimit() * 6, 1L << 40));
        jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    }
};

bool hasJpegSignature(const std::uint8_t* data, std::size_t size)
{
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

int dotsPerInch(int density, int unit)
{
    if (density <= 0)
        return 0;
    return unit == 1 ? density : unit == 2 ? int(std::lround(density * 2.54)) : 0;
}

ExifInfo exifOf(const jpeg_decompress_struct& cinfo)
{
    for (jpeg_saved_marker_ptr marker = cinfo.marker_list; marker; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 &&
            std::memcmp(marker->data, "Exif\0\0", 6) == 0)
            return parseExif(marker->data, marker->data_length);
    }
    return {};
}

void fillInfo(const jpeg_decompress_struct& cinfo, const ExifInfo& exif, PictureInfo& info)
{
    const bool swap = orientationSwapsSides(exif.orientation);
    info.width = int(swap ? cinfo.image_height : cinfo.image_width);
    info.height = int(swap ? cinfo.image_width : cinfo.image_height);
    info.bitsPerPixel = cinfo.num_components * 8;
    info.orientation = exif.orientation;
    info.progressive = cinfo.progressive_mode;
    int x = 0;
    int y = 0;
    if (cinfo.saw_JFIF_marker) {
        x = dotsPerInch(cinfo.X_density, cinfo.density_unit);
        y = dotsPerInch(cinfo.Y_density, cinfo.density_unit);
    }
    if (x <= 0 || y <= 0) {
        x = exif.xResolution;
        y = exif.yResolution;
    }
    if (swap)
        std::swap(x, y);
    info.xResolution = x;
    info.yResolution = y;
}

// The numerator n of the smallest scale n/8 whose output still covers the minimum.
unsigned scaleNumerator(unsigned width, unsigned height, int minimumWidth, int minimumHeight)
{
    for (unsigned n = 1; n < 8; ++n) {
        const unsigned w = (width * n + 7) / 8;
        const unsigned h = (height * n + 7) / 8;
        if (int(w) >= minimumWidth && int(h) >= minimumHeight)
            return n;
    }
    return 8;
}

void cmykToRgb(const std::uint8_t* cmyk, std::uint8_t* rgb, unsigned width, bool adobeInverted)
{
    for (unsigned x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!adobeInverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // Inverted values: 255 is no ink.
        rgb[0] = std::uint8_t((c * k + 127) / 255);
        rgb[1] = std::uint8_t((m * k + 127) / 255);
        rgb[2] = std::uint8_t((y * k + 127) / 255);
    }
}

int finishResult(const ErrorManager& error, const MemorySource& source)
{
    if (error.truncated || source.ranDry)
        return FileReadFailed;
    if (error.damaged)
        return CorruptFile;
    return Success;
}

} // namespace

int readJpegInfo(const std::uint8_t* data, std::size_t size, PictureInfo& info)
{
    if (!hasJpegSignature(data, size))
        return size < 3 ? FileReadFailed : FileFormatUnknown;
    auto decoder = std::make_unique<Decoder>(data, size);
    if (setjmp(decoder->error.jump))
        return decoder->source.ranDry ? FileReadFailed : decoder->error.result;
    decoder->create();
    jpeg_read_header(&decoder->cinfo, TRUE);
    if (decoder->source.ranDry)
        return FileReadFailed;
    fillInfo(decoder->cinfo, exifOf(decoder->cinfo), info);
    if (!sizeAllowed(info.width, info.height))
        return PictureTooLarge;
    return Success;
}

int loadJpeg(const std::uint8_t* data, std::size_t size, Bitmap& out,
             const JpegDecodeOptions& options)
{
    if (!hasJpegSignature(data, size))
        return size < 3 ? FileReadFailed : FileFormatUnknown;
    auto decoder = std::make_unique<Decoder>(data, size);
    if (setjmp(decoder->error.jump))
        return decoder->source.ranDry ? FileReadFailed : decoder->error.result;
    decoder->create();
    jpeg_decompress_struct& cinfo = decoder->cinfo;
    jpeg_read_header(&cinfo, TRUE);
    if (decoder->source.ranDry)
        return FileReadFailed;
    if (!sizeAllowed(cinfo.image_width, cinfo.image_height))
        return PictureTooLarge;
    const ExifInfo exif = exifOf(cinfo);
    PictureInfo info;
    fillInfo(cinfo, exif, info);

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    if (options.minimumWidth > 0 || options.minimumHeight > 0) {
        // The minimum is upright; the scale applies to the stored picture.
        const bool swap = orientationSwapsSides(exif.orientation);
        cinfo.scale_num = scaleNumerator(cinfo.image_width, cinfo.image_height,
                                         swap ? options.minimumHeight : options.minimumWidth,
                                         swap ? options.minimumWidth : options.minimumHeight);
        cinfo.scale_denom = 8;
    }
    if (options.fast) {
        cinfo.dct_method = JDCT_IFAST;
        cinfo.do_fancy_upsampling = FALSE;
        cinfo.do_block_smoothing = FALSE;
    }
    jpeg_calc_output_dimensions(&cinfo);
    Bitmap& bitmap = decoder->bitmap;
    if (const int result = bitmap.allocate(int(cinfo.output_width), int(cinfo.output_height));
        result != Success)
        return result;
    jpeg_start_decompress(&cinfo);
    if (cmyk)
        decoder->cmykRow.resize(std::size_t(cinfo.output_width) * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        std::uint8_t* row = bitmap.scanLine(int(cinfo.output_scanline));
        JSAMPROW target = cmyk ? decoder->cmykRow.data() : row;
        if (jpeg_read_scanlines(&cinfo, &target, 1) != 1)
            break;
        if (cmyk)
            cmykToRgb(decoder->cmykRow.data(), row, cinfo.output_width, cinfo.saw_Adobe_marker);
        if (decoder->source.ranDry)
            break; // the rest would be grey filler
    }
    if (cinfo.output_scanline == cinfo.output_height && !decoder->source.ranDry)
        jpeg_finish_decompress(&cinfo);
    if (const int result = finishResult(decoder->error, decoder->source); result != Success)
        return result;
    if (cancelRequested())
        return Cancelled;

    // Depth and resolution of the stored picture; the orientation swaps the resolution.
    bitmap.setBitsPerPixel(info.bitsPerPixel);
    const bool swap = orientationSwapsSides(exif.orientation);
    bitmap.setResolution(swap ? info.yResolution : info.xResolution,
                         swap ? info.xResolution : info.yResolution);
    if (const int result = orientUpright(bitmap, exif.orientation); result != Success)
        return result;
    out = std::move(bitmap);
    return Success;
}

int jpegQualityForFactor(int qualityFactor)
{
    return std::clamp(97 - qualityFactor, 5, 95);
}

namespace {

// Grows the output in a QByteArray, doubling like the design's grow callback.
struct ByteArrayDestination
{
    jpeg_destination_mgr pub;
    QByteArray* out;
};

void initDestination(j_compress_ptr cinfo)
{
    auto* destination = reinterpret_cast<ByteArrayDestination*>(cinfo->dest);
    destination->pub.next_output_byte = reinterpret_cast<JOCTET*>(destination->out->data());
    destination->pub.free_in_buffer = std::size_t(destination->out->size());
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* destination = reinterpret_cast<ByteArrayDestination*>(cinfo->dest);
    QByteArray& out = *destination->out;
    const qsizetype used = out.size();
    if (used > (std::numeric_limits<qsizetype>::max() / 2))
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    out.resize(used * 2);
    if (out.size() != used * 2)
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    destination->pub.next_output_byte = reinterpret_cast<JOCTET*>(out.data()) + used;
    destination->pub.free_in_buffer = std::size_t(used);
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    auto* destination = reinterpret_cast<ByteArrayDestination*>(cinfo->dest);
    destination->out->resize(destination->out->size() - qsizetype(destination->pub.free_in_buffer));
}

struct Encoder
{
    jpeg_compress_struct cinfo{};
    ErrorManager error;
    ByteArrayDestination destination{};
    QByteArray bytes;
    bool created = false;

    Encoder()
    {
        cinfo.err = jpeg_std_error(&error.pub);
        error.pub.error_exit = errorExit;
        error.pub.emit_message = emitMessage;
        error.pub.output_message = outputMessage;
        destination.pub.init_destination = initDestination;
        destination.pub.empty_output_buffer = emptyOutputBuffer;
        destination.pub.term_destination = termDestination;
        destination.out = &bytes;
    }
    ~Encoder()
    {
        if (created)
            jpeg_destroy_compress(&cinfo);
    }
};

} // namespace

int saveJpeg(const Bitmap& bitmap, int quality, QByteArray& out)
{
    if (bitmap.isNull())
        return NoBitmap;
    auto encoder = std::make_unique<Encoder>();
    // A start that fits a typical result keeps the doubling to a step or two.
    encoder->bytes.resize(std::max<qsizetype>(1024, qsizetype(bitmap.byteCount() / 8)));
    if (setjmp(encoder->error.jump))
        return encoder->error.result == CorruptFile ? FileWriteFailed : encoder->error.result;
    jpeg_create_compress(&encoder->cinfo);
    encoder->created = true;
    jpeg_compress_struct& cinfo = encoder->cinfo;
    cinfo.dest = &encoder->destination.pub;
    cinfo.image_width = JDIMENSION(bitmap.width());
    cinfo.image_height = JDIMENSION(bitmap.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(quality, 1, 100), TRUE);
    if (bitmap.xResolution() > 0 && bitmap.yResolution() > 0 && bitmap.xResolution() <= 65535 &&
        bitmap.yResolution() <= 65535) {
        cinfo.density_unit = 1;
        cinfo.X_density = UINT16(bitmap.xResolution());
        cinfo.Y_density = UINT16(bitmap.yResolution());
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bitmap.scanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    // The doubling buffer may be twice the picture; thumbnails are kept by the thousand.
    encoder->bytes.squeeze();
    out = std::move(encoder->bytes);
    return Success;
}

} // namespace imaging
