// Every bitmap as a placeable and as an enhanced metafile: the record sizes add up to the file,
// and the picture inside, read by the BMP reader, has the bitmap's colours.
#include <cstring>

#include "base/exceptions.h"
#include "base/stream.h"
#include "fuzz/fuzz_input.h"
#include "graphics/metafile.h"

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// The one 24-bit device-independent bitmap of the file, wrapped as a BMP file.
fk::Bitmap embeddedPicture(const std::vector<uint8_t>& file, const fk::Bitmap& bitmap) {
    uint8_t info[16];
    const uint32_t fields[3] = {40, uint32_t(bitmap.width()), uint32_t(bitmap.height())};
    std::memcpy(info, fields, 12);
    info[12] = 1, info[13] = 0, info[14] = 24, info[15] = 0;
    const uint8_t* at = nullptr;
    for (size_t i = 0; i + 40 <= file.size() && !at; i += 2)
        if (std::memcmp(&file[i], info, sizeof info) == 0)
            at = &file[i];
    FUZZ_CHECK(at, "no 24-bit picture header of %dx%d", bitmap.width(), bitmap.height());
    const size_t dibSize = 40 + fk::Bitmap::strideFor(bitmap.width(), 24) * size_t(bitmap.height());
    FUZZ_CHECK(size_t(at - file.data()) + dibSize <= file.size(), "the picture runs past the end");
    std::vector<uint8_t> bmp = {'B', 'M'};
    const uint32_t header[3] = {uint32_t(14 + dibSize), 0, 54};
    bmp.insert(bmp.end(), reinterpret_cast<const uint8_t*>(header),
               reinterpret_cast<const uint8_t*>(header) + 12);
    bmp.insert(bmp.end(), at, at + dibSize);
    fk::MemoryStream in(std::move(bmp));
    return fk::Bitmap::loadFromStream(in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const auto kind = input.flag() ? fk::MetafileKind::Placeable : fk::MetafileKind::Enhanced;
    const fk::Bitmap bitmap = fuzz::makeBitmap(input);
    fk::MemoryStream out;
    if (bitmap.empty()) {
        try {
            fk::writeMetafile(bitmap, out, kind);
        } catch (const fk::EInvalidGraphic&) {
            return 0;
        }
        FUZZ_CHECK(false, "an empty picture was written");
    }
    fk::writeMetafile(bitmap, out, kind);
    const std::vector<uint8_t>& file = out.bytes();
    if (kind == fk::MetafileKind::Placeable) {
        FUZZ_CHECK(file.size() >= 22 + 18 && le32(file.data()) == 0x9AC6CDD7u, "placeable key");
        uint16_t checksum = 0;
        for (size_t i = 0; i < 20; i += 2)
            checksum ^= uint16_t(file[i] | (file[i + 1] << 8));
        FUZZ_CHECK(checksum == uint16_t(file[20] | (file[21] << 8)), "placeable checksum");
        const uint32_t words = le32(&file[22 + 6]);
        FUZZ_CHECK(size_t(words) * 2 == file.size() - 22, "%u words in a %zu-byte file", words,
                   file.size());
        // Records: size in words, function; the last is the end record (3 words, function 0).
        size_t pos = 22 + 18;
        uint16_t function = 0xFFFF;
        while (pos < file.size()) {
            FUZZ_CHECK(file.size() - pos >= 6, "record cut short");
            const uint32_t recordWords = le32(&file[pos]);
            function = uint16_t(file[pos + 4] | (file[pos + 5] << 8));
            FUZZ_CHECK(recordWords >= 3 && recordWords * size_t(2) <= file.size() - pos,
                       "record of %u words", recordWords);
            pos += recordWords * size_t(2);
        }
        FUZZ_CHECK(function == 0, "no end record");
    } else {
        FUZZ_CHECK(file.size() >= 88 && le32(file.data()) == 1 && le32(&file[40]) == 0x464D4520u,
                   "EMF header");
        FUZZ_CHECK(le32(&file[48]) == file.size(), "EMF size field %u of %zu", le32(&file[48]),
                   file.size());
        size_t pos = 0, records = 0;
        uint32_t type = 0;
        while (pos < file.size()) {
            FUZZ_CHECK(file.size() - pos >= 8, "record cut short");
            type = le32(&file[pos]);
            const uint32_t bytes = le32(&file[pos + 4]);
            FUZZ_CHECK(bytes >= 8 && bytes % 4 == 0 && bytes <= file.size() - pos, "record of %u",
                       bytes);
            pos += bytes;
            ++records;
        }
        FUZZ_CHECK(type == 14, "last record %u is no end record", type);
        FUZZ_CHECK(le32(&file[52]) == records, "%u records counted, %zu found", le32(&file[52]),
                   records);
    }
    const fk::Bitmap picture = embeddedPicture(file, bitmap);
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            FUZZ_CHECK(picture.pixel(x, y) == bitmap.pixel(x, y), "depth %s colour at %d,%d",
                       fuzz::formatName(bitmap.pixelFormat()), x, y);
    return 0;
}
