#include "capture/save_capture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "base/exceptions.h"
#include "base/stream.h"
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

bool isControl(char c) {
    return uint8_t(c) < 0x20 || c == 0x7F;
}

// The name with its control bytes written out, so that the message shows all of it.
std::string printable(const std::string& name) {
    std::string shown;
    for (char c : name) {
        if (!isControl(c)) {
            shown += c;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned(uint8_t(c)));
        shown += escaped;
    }
    return shown;
}

// The file a shot goes to, once it is known to be one that can be made there.
std::string checkedFileName(const SaveOptions& o) {
    const std::string name = fileName(o);
    // A NUL would cut the name short, and every shot would write the same file.
    if (std::any_of(o.mask.begin(), o.mask.end(), isControl))
        throw EFCreateError(formatMessage("Cannot create file \"%s\". %s",
                                          {printable(name), "The mask holds a control character"}));
    checkOutputFolder(o.folder, name);
    return name;
}

}  // namespace

void checkOutputFolder(const std::string& folder, const std::string& file) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw EFCreateError(formatMessage(
            "Cannot create file \"%s\". The folder \"%s\" does not exist", {file, folder}));
}

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

namespace {

// Writes the picture in the selected format, as a file (`name`) or into `memory`.
void writeCapture(Bitmap& bitmap, const SaveOptions& options, const std::string& name,
                  Stream* memory) {
    switch (options.format) {
        case PictureFormat::Bmp:
            memory ? bitmap.saveToStream(*memory) : bitmap.saveToFile(name);
            break;
        case PictureFormat::Jpeg: {
            TJPEGImage jpeg;
            jpeg.Assign(std::move(bitmap));  // the shot is not needed afterwards: no copy
            jpeg.setQuality(uint8_t(options.jpegQuality));
            memory ? jpeg.SaveToStream(*memory) : jpeg.SaveToFile(name);
            break;
        }
        case PictureFormat::Wmf:
            memory ? writeMetafile(bitmap, *memory, MetafileKind::Placeable)
                   : saveMetafileToFile(name, bitmap);
            break;
        case PictureFormat::Png: {
            TPNGObject png;
            png.SetThreadCount(0);          // a single shot may use every core
            png.Assign(std::move(bitmap));  // the shot's own rows, not a copy
            memory ? png.SaveToStream(*memory) : png.SaveToFile(name);
            break;
        }
        case PictureFormat::Gif: {
            TGIFImage gif;
            gif.setThreadCount(0);  // a single shot may use every core
            gif.setDitherKind(dkBurkes);
            applyGifPalette(gif, options.gifPalette);
            gif.AssignBitmap(bitmap);
            memory ? gif.SaveToStream(*memory) : gif.WriteToFile(name);
            break;
        }
        case PictureFormat::Tiff:
            memory ? WriteTiff(*memory, bitmap) : SaveTiffFile(name, bitmap);
            break;
        case PictureFormat::NotSelected:
            break;
    }
}

}  // namespace

std::string SaveCapture(Bitmap& bitmap, const SaveOptions& options) {
    if (options.format == PictureFormat::NotSelected)
        return {};
    std::string name = options.outputFile;
    if (name.empty())
        name = checkedFileName(options);
    else
        checkOutputFolder(std::filesystem::path(name).parent_path().string(), name);
    writeCapture(bitmap, options, name, nullptr);
    return name;
}

std::vector<uint8_t> EncodeCapture(Bitmap& bitmap, const SaveOptions& options) {
    MemoryStream memory;
    writeCapture(bitmap, options, {}, &memory);
    return memory.takeBytes();
}

}  // namespace fk
