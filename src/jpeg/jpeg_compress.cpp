#include "jpeg/jpeg_compress.h"

// jpeglib.h expects FILE and size_t to be declared before it.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <optional>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

#include "base/exceptions.h"
#include "base/threads.h"
#include "graphics/rgb_rows.h"
#include "jpeg/jpeg_entropy.h"
#include "jpeg/jpeg_image.h"

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo's blue-green-red input colour spaces are needed"
#endif

namespace fk::jpeg {

namespace {

constexpr size_t kOutputBufferSize = 4096;
// Rows of one MCU with the default sampling (chroma halved both ways); a band starts on one.
constexpr int kMcuRows = 16;
// Smaller pictures take longer to cut and join than to compress on one thread.
constexpr int64_t kBandedPixels = 256 * 1024;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// Collects the library's output, one 4096-byte buffer at a time, into a growing byte vector.
struct Destination {
    jpeg_destination_mgr pub;
    std::vector<uint8_t>* bytes;
    JOCTET* buffer;
};

// Everything one compression touches. It holds only plain data, and every C++ object it points
// at lives in the caller's frame: a library error jumps back into runCompression, and such a
// jump must pass no destructor.
struct Job {
    jpeg_compress_struct cinfo;
    ErrorManager error;
    Destination destination;
    const Bitmap* bitmap;
    int firstRow;  // of the band this compressor makes
    int rows;
    BandCoder* coder;  // for a band; none for the whole picture
    int aboveRows;     // the rows of the band above that come first
    CompressOptions options;
    J_COLOR_SPACE inputSpace;
    int inputComponents;
    uint8_t* scratch;  // one row as red, green, blue, for formats the library cannot read
};

void errorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}
// Warnings and traces are of no use to the user; only a failure is reported.
void emitMessage(j_common_ptr, int) {}
void outputMessage(j_common_ptr) {}
void formatMessage(j_common_ptr, char*) {}
void resetErrorManager(j_common_ptr cinfo) {
    cinfo->err->msg_code = 0;
    cinfo->err->num_warnings = 0;
}

Destination& destinationOf(j_compress_ptr cinfo) {
    return *reinterpret_cast<Destination*>(cinfo->dest);
}

void initDestination(j_compress_ptr cinfo) {
    Destination& d = destinationOf(cinfo);
    d.buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kOutputBufferSize));
    d.pub.next_output_byte = d.buffer;
    d.pub.free_in_buffer = kOutputBufferSize;
}

// Appending can fail for want of memory. The library hears of it as a failed write, raised outside
// the handler so that no exception is left half-caught when the error jumps.
bool append(Destination& d, size_t n) noexcept {
    try {
        d.bytes->insert(d.bytes->end(), d.buffer, d.buffer + n);
        return true;
    } catch (...) {
        return false;
    }
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
    Destination& d = destinationOf(cinfo);
    if (!append(d, kOutputBufferSize))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    d.pub.next_output_byte = d.buffer;
    d.pub.free_in_buffer = kOutputBufferSize;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    Destination& d = destinationOf(cinfo);
    if (!append(d, kOutputBufferSize - d.pub.free_in_buffer))
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Row y of the picture, top row first, in the input colour space the library was given.
JSAMPROW rowOf(Job& job, JDIMENSION y) {
    const Bitmap& b = *job.bitmap;
    if (job.scratch) {
        rowToRgb(b, job.firstRow + int(y), job.scratch);
        return job.scratch;
    }
    // The library only reads input rows.
    return const_cast<JSAMPROW>(b.scanLine(job.firstRow + int(y)));
}

// Returns false after a library error, whose code is then in job.error.pub.msg_code.
bool runCompression(Job& job) {
    if (setjmp(job.error.jump))
        return false;
    jpeg_compress_struct* cinfo = &job.cinfo;
    jpeg_create_compress(cinfo);
    cinfo->dest = &job.destination.pub;

    cinfo->image_width = JDIMENSION(job.bitmap->width());
    cinfo->image_height = JDIMENSION(job.rows);
    cinfo->input_components = job.inputComponents;
    cinfo->in_color_space = job.inputSpace;

    jpeg_set_defaults(cinfo);
    cinfo->dct_method = JDCT_FLOAT;
    jpeg_set_quality(cinfo, job.options.quality, TRUE);
    if (job.options.grayscale)
        jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
    if (job.options.progressive)
        jpeg_simple_progression(cinfo);

    jpeg_start_compress(cinfo, TRUE);
    if (job.coder)
        installBandCoder(cinfo, *job.coder, job.aboveRows);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = rowOf(job, cinfo->next_scanline);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

class ContextGuard {
public:
    explicit ContextGuard(jpeg_compress_struct& cinfo) : m_cinfo(cinfo) {}
    ~ContextGuard() { jpeg_destroy_compress(&m_cinfo); }
    ContextGuard(const ContextGuard&) = delete;
    ContextGuard& operator=(const ContextGuard&) = delete;

private:
    jpeg_compress_struct& m_cinfo;
};

// A compression of rows [firstRow, firstRow + rows) of `bitmap` into `bytes`.
struct Compression {
    Job job{};
    std::vector<uint8_t> scratch;

    Compression(const Bitmap& bitmap, const CompressOptions& options, std::vector<uint8_t>& bytes,
                int firstRow, int rows) {
        job.bitmap = &bitmap;
        job.firstRow = firstRow;
        job.rows = rows;
        job.options = options;
        switch (bitmap.pixelFormat()) {
            case PixelFormat::Bits24:
                job.inputSpace = JCS_EXT_BGR;
                job.inputComponents = 3;
                break;
            case PixelFormat::Bits32:
            case PixelFormat::Device:
                job.inputSpace = JCS_EXT_BGRX;
                job.inputComponents = 4;
                break;
            default:
                job.inputSpace = JCS_RGB;
                job.inputComponents = 3;
                scratch.resize(3 * size_t(bitmap.width()));
                job.scratch = scratch.data();
                break;
        }
        job.error.pub.error_exit = errorExit;
        job.error.pub.emit_message = emitMessage;
        job.error.pub.output_message = outputMessage;
        job.error.pub.format_message = formatMessage;
        job.error.pub.reset_error_mgr = resetErrorManager;
        job.cinfo.err = &job.error.pub;
        job.destination.pub.init_destination = initDestination;
        job.destination.pub.empty_output_buffer = emptyOutputBuffer;
        job.destination.pub.term_destination = termDestination;
        job.destination.bytes = &bytes;
    }
    Compression(const Compression&) = delete;
    Compression& operator=(const Compression&) = delete;

    // False after a library error, whose message code is then code().
    bool run() {
        ContextGuard guard(job.cinfo);
        return runCompression(job);
    }
    int code() const { return job.error.pub.msg_code; }
};

[[noreturn]] void fail(int code) {
    throw EJPEG(fk::formatMessage("JPEG error #%d", {std::to_string(code)}));
}

}  // namespace

std::vector<uint8_t> compressInBands(const Bitmap& bitmap, const CompressOptions& options,
                                     int threads) {
    const int height = bitmap.height();
    const int mcuRows = (height + kMcuRows - 1) / kMcuRows;
    const int count = std::min(threads, mcuRows);
    std::vector<BandOutput> bands(static_cast<size_t>(count));
    std::vector<std::optional<int>> errors(static_cast<size_t>(count));
    forEachChunk(count, count, 1, [&](int, int band, int) {
        const int top = band * mcuRows / count * kMcuRows;
        const int bottom = std::min(height, (band + 1) * mcuRows / count * kMcuRows);
        const int above = band > 0 ? kMcuRows : 0;
        BandOutput& output = bands[size_t(band)];
        output.file.reserve(size_t(bitmap.width()) * size_t(bottom - top) / 2);
        Compression c(bitmap, options, output.file, top - above, bottom - top + above);
        c.job.coder = &output.coder;
        c.job.aboveRows = above;
        if (!c.run())
            errors[size_t(band)] = c.code();
    });
    for (const std::optional<int>& code : errors)
        if (code)
            fail(*code);
    // Every header as the first band's compressor wrote it, the frame given the whole height.
    size_t frame;
    const size_t start = scanDataStart(bands[0].file, frame);
    if (!start || !frame)
        return {};
    std::vector<uint8_t> bytes(bands[0].file.begin(), bands[0].file.begin() + long(start));
    bytes[frame + 5] = uint8_t(height >> 8);
    bytes[frame + 6] = uint8_t(height);
    if (!joinBands(bands, bytes))
        return {};
    bytes.push_back(0xFF);
    bytes.push_back(0xD9);
    return bytes;
}

std::vector<uint8_t> compressBitmap(const Bitmap& bitmap, const CompressOptions& options) {
    // Bands share one scan, which a progressive file does not have; a picture beyond the
    // library's limit is left to it to refuse.
    const int64_t pixels = int64_t(bitmap.width()) * bitmap.height();
    const int threads = options.threads > 0       ? options.threads
                        : pixels >= kBandedPixels ? resolveThreadCount(0)
                                                  : 1;
    if (threads > 1 && !options.progressive && bitmap.height() > kMcuRows &&
        bitmap.width() <= JPEG_MAX_DIMENSION && bitmap.height() <= JPEG_MAX_DIMENSION) {
        std::vector<uint8_t> bytes = compressInBands(bitmap, options, threads);
        if (!bytes.empty())
            return bytes;
    }
    std::vector<uint8_t> bytes;
    Compression whole(bitmap, options, bytes, 0, bitmap.height());
    if (!whole.run())
        fail(whole.code());
    return bytes;
}

}  // namespace fk::jpeg
