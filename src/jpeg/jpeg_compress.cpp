#include "jpeg/jpeg_compress.h"

// jpeglib.h expects FILE and size_t to be declared before it.
#include <csetjmp>
#include <cstdio>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

#include "base/exceptions.h"
#include "graphics/rgb_rows.h"
#include "jpeg/jpeg_image.h"

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo's blue-green-red input colour spaces are needed"
#endif

namespace fk::jpeg {

namespace {

constexpr size_t kOutputBufferSize = 4096;

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
        rowToRgb(b, int(y), job.scratch);
        return job.scratch;
    }
    // The library only reads input rows.
    return const_cast<JSAMPROW>(b.scanLine(int(y)));
}

// Returns false after a library error, whose code is then in job.error.pub.msg_code.
bool runCompression(Job& job) {
    if (setjmp(job.error.jump))
        return false;
    jpeg_compress_struct* cinfo = &job.cinfo;
    jpeg_create_compress(cinfo);
    cinfo->dest = &job.destination.pub;

    cinfo->image_width = JDIMENSION(job.bitmap->width());
    cinfo->image_height = JDIMENSION(job.bitmap->height());
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

}  // namespace

std::vector<uint8_t> compressBitmap(const Bitmap& bitmap, const CompressOptions& options) {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> scratch;

    Job job{};
    job.bitmap = &bitmap;
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

    ContextGuard guard(job.cinfo);
    if (!runCompression(job))
        throw EJPEG(fk::formatMessage("JPEG error #%d", {std::to_string(job.error.pub.msg_code)}));
    return bytes;
}

}  // namespace fk::jpeg
