#include "capture/save_capture.h"

#include "capture/naming.h"
#include "gif/gif_image.h"
#include "graphics/bitmap.h"
#include "graphics/metafile.h"
#include "jpeg/jpeg_image.h"
#include "png/png_image.h"
#include "tiff/tiff_writer.h"

namespace fk {

namespace {

std::string fileName(const SaveOptions& o) {
    return BuildFileName(o.folder, o.mask, o.counterText);
}

}  // namespace

void applyGifPalette(TGIFImage& gif, int paletteIndex) {
    switch (paletteIndex) {
        case 0:  // "Монохромная"
            gif.setReductionKind(pkBlackWhite);
            gif.setDitherKind(dkPlain);
            break;
        case 1:  // "Шкала серого"
            gif.setReductionKind(pkGray256);
            gif.setDitherKind(dkPlain);
            break;
        case 2:  // "Windows 256"
            gif.setReductionKind(pkHalftone);
            gif.setDitherKind(dkBurkes);
            break;
        case 3:  // "Макс. цвет."
            gif.setReductionKind(pkOctreeSystem);
            gif.setDitherKind(dkBurkes);
            break;
        default:  // no palette selected: the document's own default palette
            break;
    }
}

std::string SaveCapture(Bitmap& bitmap, const SaveOptions& options) {
    switch (options.format) {
        case PictureFormat::Bmp:
            bitmap.saveToFile(fileName(options));
            break;
        case PictureFormat::Jpeg: {
            TJPEGImage jpeg;
            jpeg.Assign(std::move(bitmap));  // the shot is not needed afterwards: no copy
            jpeg.setQuality(uint8_t(options.jpegQuality));
            jpeg.SaveToFile(fileName(options));
            break;
        }
        case PictureFormat::Wmf:
            saveMetafileToFile(fileName(options), bitmap);
            break;
        case PictureFormat::Png: {
            TPNGObject png;
            png.Assign(bitmap);
            png.SaveToFile(fileName(options));
            break;
        }
        case PictureFormat::Gif: {
            TGIFImage gif;
            gif.setThreadCount(0);  // a single shot may use every core
            gif.setDitherKind(dkBurkes);
            applyGifPalette(gif, options.gifPalette);
            gif.AssignBitmap(bitmap);
            gif.WriteToFile(fileName(options));
            break;
        }
        case PictureFormat::Tiff:
            SaveTiffFile(fileName(options), bitmap);
            break;
        case PictureFormat::NotSelected:
            return {};
    }
    return fileName(options);
}

}  // namespace fk
