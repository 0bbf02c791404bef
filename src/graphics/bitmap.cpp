#include "graphics/bitmap.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "base/exceptions.h"
#include "graphics/palettes.h"
#include "graphics/rgb_rows.h"

namespace fk {

namespace {

template <size_t N>
std::vector<RGBQuad> tableOf(const std::array<Color, N>& colors) {
    std::vector<RGBQuad> t;
    t.reserve(N);
    for (const Color& c : colors)
        t.push_back({c.blue, c.green, c.red, 0});
    return t;
}

std::vector<RGBQuad> defaultTable(PixelFormat f) {
    switch (f) {
        case PixelFormat::Bits1:
            return {{0, 0, 0, 0}, {255, 255, 255, 0}};
        case PixelFormat::Bits4:
            return tableOf(kDefaultPalette16);
        case PixelFormat::Bits8:
            return tableOf(kHalftonePalette256);
        default:
            return {};
    }
}

constexpr int64_t kMaxPixels = kMaxBitmapPixels;

}  // namespace

int bitsPerPixel(PixelFormat format) {
    switch (format) {
        case PixelFormat::Bits1:
            return 1;
        case PixelFormat::Bits4:
            return 4;
        case PixelFormat::Bits8:
            return 8;
        case PixelFormat::Bits15:
        case PixelFormat::Bits16:
            return 16;
        case PixelFormat::Bits24:
            return 24;
        case PixelFormat::Device:
        case PixelFormat::Bits32:
            return 32;
    }
    return 32;
}

bool isPaletteFormat(PixelFormat format) {
    return format == PixelFormat::Bits1 || format == PixelFormat::Bits4 ||
           format == PixelFormat::Bits8;
}

size_t Bitmap::strideFor(int width, int bitsPerPixel) {
    return ((size_t(width) * size_t(bitsPerPixel) + 31) / 32) * 4;
}

Bitmap::Bitmap(int width, int height, PixelFormat format) : m_format(format) {
    m_colorTable = defaultTable(format);
    setSize(width, height);
}

void Bitmap::setSize(int width, int height) {
    if (width < 0 || height < 0 || int64_t(width) * height > kMaxPixels)
        throw EInvalidGraphic("Invalid bitmap size");
    m_width = width;
    m_height = height;
    m_stride = strideFor(width, bitsPerPixel());
    m_rowOrder = RowOrder::BottomUp;
    m_unusedMayBeSet = false;
    m_bits.assign(m_stride * size_t(height), 0);
}

void Bitmap::prepare(int width, int height, PixelFormat format) {
    if (width == m_width && height == m_height && format == m_format)
        return;
    m_format = format;
    m_colorTable = defaultTable(format);
    setSize(width, height);
}

void Bitmap::adoptMemory(int width, int height, PixelFormat format, RowOrder order,
                         std::unique_ptr<PixelMemory> memory) {
    if (width < 0 || height < 0 || int64_t(width) * height > kMaxPixels)
        throw EInvalidGraphic("Invalid bitmap size");
    const size_t stride = strideFor(width, fk::bitsPerPixel(format));
    if (!memory || memory->size() < stride * size_t(height))
        throw EInvalidGraphicOperation("The memory is too small for the bitmap");
    if (format != m_format)
        m_colorTable = defaultTable(format);
    m_format = format;
    m_width = width;
    m_height = height;
    m_stride = stride;
    m_rowOrder = order;
    m_unusedMayBeSet = true;
    m_bits.adopt(std::move(memory), stride * size_t(height));
}

uint8_t* Bitmap::scanLine(int row) {
    if (row < 0 || row >= m_height)
        throw EInvalidGraphicOperation("Scan line index out of range");
    const int stored = m_rowOrder == RowOrder::TopDown ? row : m_height - 1 - row;
    return m_bits.data() + size_t(stored) * m_stride;
}

const uint8_t* Bitmap::scanLine(int row) const {
    return const_cast<Bitmap*>(this)->scanLine(row);
}

bool operator==(const Bitmap& a, const Bitmap& b) {
    if (a.m_width != b.m_width || a.m_height != b.m_height || a.m_format != b.m_format ||
        a.m_colorTable != b.m_colorTable)
        return false;
    if (a.m_rowOrder == b.m_rowOrder)
        return std::equal(a.bits(), a.bits() + a.imageSize(), b.bits(), b.bits() + b.imageSize());
    for (int y = 0; y < a.m_height; ++y)
        if (std::memcmp(a.scanLine(y), b.scanLine(y), a.m_stride) != 0)
            return false;
    return true;
}

void Bitmap::setColorTable(std::vector<RGBQuad> table) {
    if (isPaletteFormat(m_format) && table.size() > (size_t(1) << bitsPerPixel()))
        table.resize(size_t(1) << bitsPerPixel());
    m_colorTable = std::move(table);
}

Palette Bitmap::palette() const {
    Palette p;
    p.reserve(m_colorTable.size());
    for (const RGBQuad& q : m_colorTable)
        p.push_back({q.red, q.green, q.blue, 0});
    return p;
}

uint8_t Bitmap::index(int x, int y) const {
    const uint8_t* row = scanLine(y);
    switch (m_format) {
        case PixelFormat::Bits1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case PixelFormat::Bits4:
            return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        case PixelFormat::Bits8:
            return row[x];
        default:
            throw EInvalidGraphicOperation("Bitmap has no colour table");
    }
}

void Bitmap::setIndex(int x, int y, uint8_t index) {
    uint8_t* row = scanLine(y);
    switch (m_format) {
        case PixelFormat::Bits1: {
            uint8_t bit = uint8_t(0x80 >> (x & 7));
            row[x >> 3] = (index & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
            break;
        }
        case PixelFormat::Bits4:
            row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | (index & 0x0F))
                                  : uint8_t((row[x >> 1] & 0x0F) | (index << 4));
            break;
        case PixelFormat::Bits8:
            row[x] = index;
            break;
        default:
            throw EInvalidGraphicOperation("Bitmap has no colour table");
    }
}

Color Bitmap::pixel(int x, int y) const {
    uint8_t rgb[3];
    decodePixels(m_format, scanLine(y), m_colorTable, x, 1, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

uint8_t Bitmap::nearestIndex(Color c) const {
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (size_t i = 0; i < m_colorTable.size(); ++i) {
        const RGBQuad& q = m_colorTable[i];
        int dr = int(q.red) - c.red, dg = int(q.green) - c.green, db = int(q.blue) - c.blue;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return uint8_t(best);
}

void Bitmap::setPixel(int x, int y, Color c) {
    uint8_t* row = scanLine(y);
    switch (m_format) {
        case PixelFormat::Bits1:
        case PixelFormat::Bits4:
        case PixelFormat::Bits8:
            setIndex(x, y, nearestIndex(c));
            break;
        case PixelFormat::Bits15: {
            unsigned v = ((c.red >> 3) << 10) | ((c.green >> 3) << 5) | (c.blue >> 3);
            row[2 * x] = uint8_t(v);
            row[2 * x + 1] = uint8_t(v >> 8);
            break;
        }
        case PixelFormat::Bits16: {
            unsigned v = ((c.red >> 3) << 11) | ((c.green >> 2) << 5) | (c.blue >> 3);
            row[2 * x] = uint8_t(v);
            row[2 * x + 1] = uint8_t(v >> 8);
            break;
        }
        case PixelFormat::Bits24: {
            uint8_t* p = row + 3 * x;
            p[0] = c.blue;
            p[1] = c.green;
            p[2] = c.red;
            break;
        }
        case PixelFormat::Device:
        case PixelFormat::Bits32: {
            uint8_t* p = row + 4 * x;
            p[0] = c.blue;
            p[1] = c.green;
            p[2] = c.red;
            p[3] = 0;
            break;
        }
    }
}

void Bitmap::fill(Color c) {
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            setPixel(x, y, c);
}

void Bitmap::setPixelFormat(PixelFormat format) {
    if (format == m_format)
        return;
    const bool from32 = m_format == PixelFormat::Device || m_format == PixelFormat::Bits32;
    const bool to32 = format == PixelFormat::Device || format == PixelFormat::Bits32;
    if (from32 && to32) {
        // The display's unused byte becomes a fourth byte that files store: it is cleared.
        if (m_format == PixelFormat::Device && m_unusedMayBeSet)
            for (int y = 0; y < m_height; ++y)
                copyClearingUnused(scanLine(y), scanLine(y), m_width);
        m_unusedMayBeSet = false;
        m_format = format;
        return;
    }

    Bitmap out(m_width, m_height, format);
    if (isPaletteFormat(m_format) && isPaletteFormat(format) &&
        m_colorTable.size() <= (size_t(1) << out.bitsPerPixel())) {
        // A deeper palette format holds the same indexes and colour table.
        out.m_colorTable = m_colorTable;
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                out.setIndex(x, y, index(x, y));
    } else if ((from32 && format == PixelFormat::Bits24) ||
               (m_format == PixelFormat::Bits24 && to32)) {
        // Blue, green and red move between 3- and 4-byte pixels; the fourth byte stays 0.
        for (int y = 0; y < m_height; ++y) {
            const uint8_t* s = scanLine(y);
            uint8_t* d = out.scanLine(y);
            if (from32) {
                copyDroppingUnused(d, s, m_width);
                continue;
            }
            for (int x = 0; x < m_width; ++x, s += 3, d += 4) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
    } else if (isPaletteFormat(format)) {
        // Many pixels share few colours: remember each colour's nearest entry.
        std::unordered_map<uint32_t, uint8_t> nearest;
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x) {
                Color c = pixel(x, y);
                uint32_t key = (uint32_t(c.red) << 16) | (uint32_t(c.green) << 8) | c.blue;
                auto [it, added] = nearest.try_emplace(key, 0);
                if (added)
                    it->second = out.nearestIndex(c);
                out.setIndex(x, y, it->second);
            }
    } else {
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                out.setPixel(x, y, pixel(x, y));
    }
    *this = std::move(out);
}

}  // namespace fk
