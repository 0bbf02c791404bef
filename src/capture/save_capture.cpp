#include "capture/save_capture.h"

#include "capture/naming.h"
#include "graphics/bitmap.h"
#include "graphics/exceptions.h"
#include "graphics/metafile.h"
#include "jpeg/jpeg_image.h"
#include "png/png_image.h"
#include "tiff/tiff_writer.h"

namespace fk {

namespace {

[[noreturn]] void notAvailable(const char* format) {
    throw EInvalidGraphic(formatMessage("Saving %s files is not available yet", {format}));
}

std::string fileName(const SaveOptions& o) {
    return BuildFileName(o.folder, o.mask, o.counterText);
}

}  // namespace

void SaveCapture(Bitmap& bitmap, const SaveOptions& options) {
    const std::string& format = options.formatText;
    if (format == "BMP") {
        bitmap.saveToFile(fileName(options));
    } else if (format == "JPG") {
        TJPEGImage jpeg;
        jpeg.Assign(std::move(bitmap));  // the shot is not needed afterwards: no copy
        jpeg.setQuality(uint8_t(options.jpegQuality));
        jpeg.SaveToFile(fileName(options));
    } else if (format == "WMF") {
        saveMetafileToFile(fileName(options), bitmap);
    } else if (format == "PNG") {
        TPNGObject png;
        png.Assign(bitmap);
        png.SaveToFile(fileName(options));
    } else if (format == "GIF") {
        notAvailable("GIF");
    } else if (format == "TIF") {
        SaveTiffFile(fileName(options), bitmap);
    }
}

}  // namespace fk
