#include "graphics/metafile.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "base/exceptions.h"
#include "base/stream.h"
#include "graphics/bitmap.h"

namespace fk {

namespace {

constexpr uint32_t kSrcCopy = 0x00CC0020;
constexpr uint16_t kUnitsPerInch = 96;  // one metafile unit per screen pixel

// WMF record functions.
constexpr uint16_t kMetaSetWindowOrg = 0x020B;
constexpr uint16_t kMetaSetWindowExt = 0x020C;
constexpr uint16_t kMetaStretchDib = 0x0F43;

// EMF record types.
constexpr uint32_t kEmrHeader = 1;
constexpr uint32_t kEmrEof = 14;
constexpr uint32_t kEmrStretchDiBits = 81;
constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"

void writeDibHeader(ByteWriter& w, const Bitmap& dib) {
    w.u32le(40);
    w.u32le(uint32_t(dib.width()));
    w.u32le(uint32_t(dib.height()));  // bottom-up
    w.u16le(1);                       // planes
    w.u16le(24);                      // bits per pixel
    w.u32le(0);                       // uncompressed
    w.u32le(uint32_t(dib.imageSize()));
    w.u32le(0);  // pixels per metre, x and y
    w.u32le(0);
    w.u32le(0);  // colours used
    w.u32le(0);  // important colours
}

void writePlaceable(const Bitmap& dib, ByteWriter& w) {
    const auto width = uint16_t(dib.width());
    const auto height = uint16_t(dib.height());
    const uint32_t dibWords = uint32_t((40 + dib.imageSize()) / 2);
    const uint32_t stretchWords = 3 + 2 + 1 + 8 + dibWords;  // size, function, rop, usage, 8 shorts
    const uint32_t totalWords = 9 + 5 + 5 + stretchWords + 3;

    // Placeable header: key, handle, bounding box, units per inch, reserved, checksum.
    const uint16_t words[10] = {0xCDD7, 0x9AC6, 0, 0, 0, width, height, kUnitsPerInch, 0, 0};
    uint16_t checksum = 0;
    for (uint16_t v : words)
        checksum ^= v;
    for (uint16_t v : words)
        w.u16le(v);
    w.u16le(checksum);

    // Metafile header.
    w.u16le(1);       // in memory
    w.u16le(9);       // header size in words
    w.u16le(0x0300);  // version
    w.u32le(totalWords);
    w.u16le(0);  // objects
    w.u32le(stretchWords);
    w.u16le(0);  // unused

    w.u32le(5);
    w.u16le(kMetaSetWindowOrg);
    w.u16le(0);  // y
    w.u16le(0);  // x
    w.u32le(5);
    w.u16le(kMetaSetWindowExt);
    w.u16le(height);
    w.u16le(width);

    w.u32le(stretchWords);
    w.u16le(kMetaStretchDib);
    w.u32le(kSrcCopy);
    w.u16le(0);       // colour table holds RGB values
    w.u16le(height);  // source height, width, y, x
    w.u16le(width);
    w.u16le(0);
    w.u16le(0);
    w.u16le(height);  // destination height, width, y, x
    w.u16le(width);
    w.u16le(0);
    w.u16le(0);
    writeDibHeader(w, dib);
    w.bytes(dib.bits(), dib.imageSize());

    w.u32le(3);  // end of file
    w.u16le(0);
}

void writeEnhanced(const Bitmap& dib, ByteWriter& w) {
    const auto width = int32_t(dib.width());
    const auto height = int32_t(dib.height());
    constexpr uint32_t kHeaderSize = 108;
    constexpr uint32_t kStretchFixed = 80;
    constexpr uint32_t kEofSize = 20;
    const uint64_t stretchSize = kStretchFixed + 40 + uint64_t(dib.imageSize());
    const uint64_t total = kHeaderSize + stretchSize + kEofSize;
    if (total > std::numeric_limits<uint32_t>::max())
        throw EInvalidGraphic("Picture is too large for a metafile");
    // Reference device: the picture's own pixels at 96 per inch. Its size in micrometres is the
    // largest of the header's signed 32-bit fields and must fit there.
    const int64_t widthMm = std::max<int64_t>(1, (int64_t(width) * 254 + 480) / 960);
    const int64_t heightMm = std::max<int64_t>(1, (int64_t(height) * 254 + 480) / 960);
    if (std::max(widthMm, heightMm) * 1000 > std::numeric_limits<int32_t>::max())
        throw EInvalidGraphic("Picture is too large for a metafile");
    const int64_t frameRight = int64_t(width) * 2540 / kUnitsPerInch - 1;
    const int64_t frameBottom = int64_t(height) * 2540 / kUnitsPerInch - 1;

    w.u32le(kEmrHeader);
    w.u32le(kHeaderSize);
    w.u32le(0);  // bounds in device units, inclusive
    w.u32le(0);
    w.u32le(uint32_t(width - 1));
    w.u32le(uint32_t(height - 1));
    w.u32le(0);  // frame in 0.01 mm, inclusive
    w.u32le(0);
    w.u32le(uint32_t(frameRight));
    w.u32le(uint32_t(frameBottom));
    w.u32le(kEmfSignature);
    w.u32le(0x10000);  // version
    w.u32le(uint32_t(total));
    w.u32le(3);  // records
    w.u16le(1);  // handles (the reserved one)
    w.u16le(0);
    w.u32le(0);  // description length and offset
    w.u32le(0);
    w.u32le(0);                // palette entries
    w.u32le(uint32_t(width));  // reference device in pixels
    w.u32le(uint32_t(height));
    w.u32le(uint32_t(widthMm));  // and in millimetres
    w.u32le(uint32_t(heightMm));
    w.u32le(0);  // pixel format size and offset, OpenGL flag
    w.u32le(0);
    w.u32le(0);
    w.u32le(uint32_t(widthMm * 1000));  // reference device in micrometres
    w.u32le(uint32_t(heightMm * 1000));

    w.u32le(kEmrStretchDiBits);
    w.u32le(uint32_t(stretchSize));
    w.u32le(0);  // bounds
    w.u32le(0);
    w.u32le(uint32_t(width - 1));
    w.u32le(uint32_t(height - 1));
    w.u32le(0);  // destination x, y
    w.u32le(0);
    w.u32le(0);  // source x, y, width, height
    w.u32le(0);
    w.u32le(uint32_t(width));
    w.u32le(uint32_t(height));
    w.u32le(kStretchFixed);       // offset of the DIB header
    w.u32le(40);                  // its size
    w.u32le(kStretchFixed + 40);  // offset of the pixels
    w.u32le(uint32_t(dib.imageSize()));
    w.u32le(0);  // colour table holds RGB values
    w.u32le(kSrcCopy);
    w.u32le(uint32_t(width));  // destination width, height
    w.u32le(uint32_t(height));
    writeDibHeader(w, dib);
    w.bytes(dib.bits(), dib.imageSize());

    w.u32le(kEmrEof);
    w.u32le(kEofSize);
    w.u32le(0);   // palette entries
    w.u32le(16);  // their offset
    w.u32le(kEofSize);
}

}  // namespace

MetafileKind metafileKindForName(const std::string& path) {
    if (path.size() < 4)
        return MetafileKind::Enhanced;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".wmf" ? MetafileKind::Placeable : MetafileKind::Enhanced;
}

void writeMetafile(const Bitmap& picture, Stream& out, MetafileKind kind) {
    if (picture.empty())
        throw EInvalidGraphic("Cannot write an empty picture as a metafile");
    if (kind == MetafileKind::Placeable && (picture.width() > std::numeric_limits<int16_t>::max() ||
                                            picture.height() > std::numeric_limits<int16_t>::max()))
        throw EInvalidGraphic("Picture is too large for a Windows metafile");
    Bitmap dib = picture;
    dib.setPixelFormat(PixelFormat::Bits24);
    ByteWriter w(out);
    if (kind == MetafileKind::Placeable)
        writePlaceable(dib, w);
    else
        writeEnhanced(dib, w);
    w.flush();
}

void saveMetafileToFile(const std::string& path, const Bitmap& picture) {
    saveStreamToFile(path,
                     [&](Stream& s) { writeMetafile(picture, s, metafileKindForName(path)); });
}

}  // namespace fk
