// Every bitmap through the TIFF writer, then read back by a small baseline reader of this test:
// header, directory, strips and colour map within the file, every pixel's colour as the bitmap's.
#include <map>

#include "base/stream.h"
#include "fuzz/fuzz_input.h"
#include "tiff/tiff_writer.h"

namespace {

struct Entry {
    uint16_t type;
    uint32_t count;
    uint32_t value;  // the value itself when it fits in four bytes, else its offset
};

class TiffReader {
public:
    explicit TiffReader(const std::vector<uint8_t>& f) : file(f) {
        FUZZ_CHECK(f.size() >= 8 && f[0] == 'I' && f[1] == 'I' && u16(2) == 42, "TIFF header");
        // The writer packs everything, so the directory may start at an odd offset.
        const uint32_t dir = u32(4);
        FUZZ_CHECK(dir >= 8 && size_t(dir) + 2 <= f.size(), "directory at %u", dir);
        const uint16_t n = u16(dir);
        FUZZ_CHECK(size_t(dir) + 2 + 12 * size_t(n) + 4 <= f.size(), "directory of %u entries", n);
        uint16_t lastTag = 0;
        for (uint16_t i = 0; i < n; ++i) {
            const size_t at = dir + 2 + 12 * size_t(i);
            const uint16_t tag = u16(at);
            FUZZ_CHECK(tag > lastTag, "tag %u after %u", tag, lastTag);
            lastTag = tag;
            const uint16_t type = u16(at + 2);
            const uint32_t count = u32(at + 4);
            const uint32_t value = type == 3 && count == 1 ? u16(at + 8) : u32(at + 8);
            entries[tag] = {type, count, value};
        }
        FUZZ_CHECK(u32(dir + 2 + 12 * size_t(n)) == 0, "a second directory");
    }

    uint32_t number(uint16_t tag) const {
        auto it = entries.find(tag);
        FUZZ_CHECK(it != entries.end() && it->second.count == 1, "tag %u", tag);
        return it->second.value;
    }
    // The tag's shorts or longs, wherever they are stored.
    std::vector<uint32_t> list(uint16_t tag) const {
        auto it = entries.find(tag);
        FUZZ_CHECK(it != entries.end(), "tag %u missing", tag);
        const Entry& e = it->second;
        const size_t width = e.type == 3 ? 2 : 4;
        if (e.count * width <= 4)
            return e.count == 1 ? std::vector<uint32_t>{e.value}
                                : std::vector<uint32_t>{e.value & 0xFFFF, e.value >> 16};
        FUZZ_CHECK(size_t(e.value) + e.count * width <= file.size(), "tag %u data outside", tag);
        std::vector<uint32_t> v;
        for (uint32_t i = 0; i < e.count; ++i)
            v.push_back(width == 2 ? u16(e.value + 2 * i) : u32(e.value + 4 * i));
        return v;
    }
    uint16_t u16(size_t at) const { return uint16_t(file[at] | (file[at + 1] << 8)); }
    uint32_t u32(size_t at) const { return u16(at) | (uint32_t(u16(at + 2)) << 16); }

    const std::vector<uint8_t>& file;
    std::map<uint16_t, Entry> entries;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const fk::Bitmap bitmap = fuzz::makeBitmap(input);
    fk::MemoryStream out;
    fk::WriteTiff(out, bitmap);
    if (bitmap.empty()) {
        FUZZ_CHECK(out.size() == 0, "an empty bitmap wrote %llu bytes",
                   (unsigned long long)out.size());
        return 0;
    }
    const TiffReader tiff(out.bytes());
    const uint32_t width = tiff.number(256), height = tiff.number(257);
    FUZZ_CHECK(width == uint32_t(bitmap.width()) && height == uint32_t(bitmap.height()),
               "size %ux%u for %dx%d", width, height, bitmap.width(), bitmap.height());
    FUZZ_CHECK(tiff.number(259) == 1, "compressed");
    const std::vector<uint32_t> bits = tiff.list(258);
    const uint32_t samples = tiff.entries.count(277) ? tiff.number(277) : 1;
    FUZZ_CHECK(bits.size() == samples, "%zu sample sizes for %u samples", bits.size(), samples);
    const uint32_t photometric = tiff.number(262);
    const uint32_t bitsPerPixel = bits[0] * samples;
    const size_t rowBytes = (size_t(width) * bitsPerPixel + 7) / 8;

    // The strips, joined in order.
    const std::vector<uint32_t> offsets = tiff.list(273), counts = tiff.list(279);
    FUZZ_CHECK(offsets.size() == counts.size(), "strip lists differ");
    const uint32_t rowsPerStrip = tiff.entries.count(278) ? tiff.number(278) : height;
    FUZZ_CHECK(rowsPerStrip > 0 && offsets.size() == (height + rowsPerStrip - 1) / rowsPerStrip,
               "%zu strips of %u rows", offsets.size(), rowsPerStrip);
    std::vector<uint8_t> rows;
    for (size_t s = 0; s < offsets.size(); ++s) {
        FUZZ_CHECK(size_t(offsets[s]) + counts[s] <= out.size(), "strip %zu outside the file", s);
        rows.insert(rows.end(), out.bytes().begin() + offsets[s],
                    out.bytes().begin() + offsets[s] + counts[s]);
    }
    FUZZ_CHECK(rows.size() == rowBytes * height, "%zu strip bytes for %zu", rows.size(),
               rowBytes * height);

    std::vector<uint32_t> map;
    if (photometric == 3) {
        map = tiff.list(320);
        FUZZ_CHECK(map.size() == 3 * (size_t(1) << bitsPerPixel), "colour map of %zu", map.size());
    } else if (photometric == 2) {
        FUZZ_CHECK(samples == 3 && bits[0] == 8 && bits[1] == 8 && bits[2] == 8, "RGB layout");
    } else {
        FUZZ_CHECK(photometric <= 1 && bitsPerPixel == 1, "photometric %u, %u bits", photometric,
                   bitsPerPixel);
    }
    const char* depth = fuzz::formatName(bitmap.pixelFormat());
    const size_t entriesPerChannel = map.size() / 3;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = &rows[y * rowBytes];
        for (uint32_t x = 0; x < width; ++x) {
            fk::Color c;
            if (photometric == 2) {
                c = {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
            } else {
                const size_t bit = size_t(x) * bitsPerPixel;
                const unsigned v =
                    (row[bit / 8] >> (8 - bitsPerPixel - bit % 8)) & ((1u << bitsPerPixel) - 1);
                if (photometric == 3) {
                    c = {uint8_t(map[v] >> 8), uint8_t(map[entriesPerChannel + v] >> 8),
                         uint8_t(map[2 * entriesPerChannel + v] >> 8)};
                } else {
                    const uint8_t level = (v == 1) == (photometric == 1) ? 255 : 0;
                    c = {level, level, level};
                }
            }
            const fk::Color want = bitmap.pixel(int(x), int(y));
            FUZZ_CHECK(c == want, "depth %s at %u,%u: %d %d %d for %d %d %d", depth, x, y, c.red,
                       c.green, c.blue, want.red, want.green, want.blue);
        }
    }
    return 0;
}
