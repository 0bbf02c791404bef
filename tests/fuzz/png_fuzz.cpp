// Every bitmap through the PNG writer with any filter set, deflate level and chunk limit, then read
// back here: chunk framing and CRCs, zlib's inflate of the joined image data, the rows unfiltered
// and compared with the bitmap's colours (palette images: indices and palette entries).
#include <zlib.h>

#include <cstring>

#include "base/exceptions.h"
#include "base/stream.h"
#include "fuzz/fuzz_input.h"
#include "png/png_image.h"

namespace {

uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

struct DecodedPng {
    uint32_t width = 0, height = 0;
    uint8_t bitDepth = 0, colorType = 0;
    std::vector<uint8_t> palette;  // red, green, blue per entry
    std::vector<uint8_t> rows;     // unfiltered, without the filter bytes
    size_t rowBytes = 0;
};

std::vector<uint8_t> inflateAll(const std::vector<uint8_t>& z, size_t expected) {
    std::vector<uint8_t> out(expected + 1);  // one byte more shows surplus data
    z_stream s{};
    FUZZ_CHECK(inflateInit(&s) == Z_OK, "inflateInit");
    s.next_in = const_cast<Bytef*>(z.data());
    s.avail_in = uInt(z.size());
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    const int rc = inflate(&s, Z_FINISH);
    const size_t produced = out.size() - s.avail_out;
    const uInt leftOver = s.avail_in;
    inflateEnd(&s);
    FUZZ_CHECK(rc == Z_STREAM_END, "inflate ended with %d after %zu of %zu bytes", rc, produced,
               expected);
    FUZZ_CHECK(produced == expected, "inflated %zu bytes, rows need %zu", produced, expected);
    FUZZ_CHECK(leftOver == 0, "%u bytes after the zlib stream", leftOver);
    out.resize(produced);
    return out;
}

int paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

DecodedPng decode(const std::vector<uint8_t>& file, uint32_t idatLimit) {
    static constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    FUZZ_CHECK(file.size() >= 8 && std::memcmp(file.data(), kSignature, 8) == 0, "signature");
    DecodedPng png;
    std::vector<uint8_t> idat;
    std::vector<std::string> order;
    size_t pos = 8;
    while (pos < file.size()) {
        FUZZ_CHECK(file.size() - pos >= 12, "a chunk cut short at %zu", pos);
        const uint32_t length = be32(&file[pos]);
        FUZZ_CHECK(length <= file.size() - pos - 12, "chunk length %u at %zu", length, pos);
        const std::string type(reinterpret_cast<const char*>(&file[pos + 4]), 4);
        const uint8_t* body = &file[pos + 8];
        const uint32_t crc = uint32_t(crc32(0, &file[pos + 4], length + 4));
        FUZZ_CHECK(crc == be32(body + length), "%s CRC", type.c_str());
        if (type == "IHDR") {
            FUZZ_CHECK(length == 13, "IHDR of %u bytes", length);
            png.width = be32(body);
            png.height = be32(body + 4);
            png.bitDepth = body[8];
            png.colorType = body[9];
            FUZZ_CHECK(body[10] == 0 && body[11] == 0 && body[12] == 0, "methods, interlace");
        } else if (type == "PLTE") {
            FUZZ_CHECK(length % 3 == 0 && length > 0 && length <= 768, "PLTE of %u bytes", length);
            png.palette.assign(body, body + length);
        } else if (type == "IDAT") {
            FUZZ_CHECK(length <= idatLimit, "IDAT of %u bytes, limit %u", length, idatLimit);
            FUZZ_CHECK(!order.empty() && (order.back() == "IDAT" || order.back() == "PLTE" ||
                                          order.back() == "IHDR"),
                       "IDAT out of order");
            idat.insert(idat.end(), body, body + length);
        }
        order.push_back(type);
        pos += 12 + length;
    }
    FUZZ_CHECK(!order.empty() && order.front() == "IHDR" && order.back() == "IEND", "chunk order");
    FUZZ_CHECK(png.width > 0 && png.height > 0, "size %ux%u", png.width, png.height);
    const int channels = png.colorType == 2 ? 3 : 1;
    FUZZ_CHECK(png.colorType == 2 ? png.bitDepth == 8 : png.colorType == 3, "colour type %d",
               png.colorType);
    FUZZ_CHECK(png.colorType != 3 || !png.palette.empty(), "palette image without PLTE");
    const size_t bitsPerPixel = size_t(png.bitDepth) * channels;
    png.rowBytes = (png.width * bitsPerPixel + 7) / 8;
    const size_t bpp = std::max<size_t>(1, bitsPerPixel / 8);
    const std::vector<uint8_t> raw = inflateAll(idat, (png.rowBytes + 1) * png.height);
    png.rows.assign(png.rowBytes * png.height, 0);
    for (uint32_t y = 0; y < png.height; ++y) {
        const uint8_t filter = raw[y * (png.rowBytes + 1)];
        FUZZ_CHECK(filter <= 4, "filter type %d in row %u", filter, y);
        const uint8_t* in = &raw[y * (png.rowBytes + 1) + 1];
        uint8_t* row = &png.rows[y * png.rowBytes];
        const uint8_t* up = y > 0 ? row - png.rowBytes : nullptr;
        for (size_t i = 0; i < png.rowBytes; ++i) {
            const int a = i >= bpp ? row[i - bpp] : 0;
            const int b = up ? up[i] : 0;
            const int c = up && i >= bpp ? up[i - bpp] : 0;
            const int predictor = filter == 0   ? 0
                                  : filter == 1 ? a
                                  : filter == 2 ? b
                                  : filter == 3 ? (a + b) / 2
                                                : paeth(a, b, c);
            row[i] = uint8_t(in[i] + predictor);
        }
    }
    return png;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    fk::TPNGObject png;
    png.SetFilterSet(fk::TFilters::fromBits(input.u8()));
    const uint8_t level = input.u8() % 10;
    png.SetDeflateLevel(level);
    png.SetIdatLimit(int32_t(input.u32() & 0x3FFFF));
    const fk::Bitmap bitmap = fuzz::makeBitmap(input);
    if (bitmap.empty()) {
        try {
            png.Assign(bitmap);
        } catch (const fk::EPngError&) {
            return 0;
        }
        FUZZ_CHECK(false, "an empty bitmap was taken");
    }
    png.Assign(bitmap);
    fk::MemoryStream out;
    png.SaveToStream(out);
    const DecodedPng decoded = decode(out.bytes(), uint32_t(png.IdatLimit()));

    const char* depth = fuzz::formatName(bitmap.pixelFormat());
    FUZZ_CHECK(
        decoded.width == uint32_t(bitmap.width()) && decoded.height == uint32_t(bitmap.height()),
        "size %ux%u for %dx%d", decoded.width, decoded.height, bitmap.width(), bitmap.height());
    if (fk::isPaletteFormat(bitmap.pixelFormat())) {
        FUZZ_CHECK(decoded.colorType == 3 && decoded.bitDepth == bitmap.bitsPerPixel(),
                   "depth %s as colour type %d, %d bits", depth, decoded.colorType,
                   decoded.bitDepth);
        const size_t entries = decoded.palette.size() / 3;
        const std::vector<fk::RGBQuad>& table = bitmap.colorTable();
        for (int y = 0; y < bitmap.height(); ++y) {
            const uint8_t* row = &decoded.rows[size_t(y) * decoded.rowBytes];
            for (int x = 0; x < bitmap.width(); ++x) {
                const int bits = decoded.bitDepth;
                const size_t bit = size_t(x) * bits;
                const uint8_t index =
                    uint8_t((row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1));
                FUZZ_CHECK(index == bitmap.index(x, y), "depth %s index at %d,%d", depth, x, y);
                FUZZ_CHECK(index < entries, "index %d beyond a palette of %zu", index, entries);
                const uint8_t* e = &decoded.palette[3 * size_t(index)];
                const fk::RGBQuad q = index < table.size() ? table[index] : fk::RGBQuad{};
                FUZZ_CHECK(e[0] == q.red && e[1] == q.green && e[2] == q.blue, "palette entry %d",
                           index);
            }
        }
        return 0;
    }
    FUZZ_CHECK(decoded.colorType == 2, "depth %s as colour type %d", depth, decoded.colorType);
    for (int y = 0; y < bitmap.height(); ++y) {
        const uint8_t* row = &decoded.rows[size_t(y) * decoded.rowBytes];
        for (int x = 0; x < bitmap.width(); ++x) {
            const fk::Color c = bitmap.pixel(x, y);
            const uint8_t* p = row + 3 * size_t(x);
            FUZZ_CHECK(p[0] == c.red && p[1] == c.green && p[2] == c.blue,
                       "depth %s colour at %d,%d: %d %d %d for %d %d %d", depth, x, y, p[0], p[1],
                       p[2], c.red, c.green, c.blue);
        }
    }
    return 0;
}
