#include "gif/changed_frame.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "base/exceptions.h"
#include "gif/gif_image.h"

namespace fk {

namespace {

constexpr int kDoNotDispose = 1;
constexpr int64_t kLongestDelay = 0xFFFF;

// The colour table of a frame: the colours its opaque pixels use, each once, and perhaps one
// more entry for the transparent pixels.
struct CompactPalette {
    std::vector<Color> colors;
    std::array<uint8_t, 256> indexOf{};  // reduced index -> entry
    int transparent = -1;
};

int distance(const Color& a, const Color& b) {
    const int r = a.red - b.red, g = a.green - b.green, bl = a.blue - b.blue;
    return r * r + g * g + bl * bl;
}

// The rows and columns of a rectangle that hold a changed pixel: only they are reduced, as one
// bitmap, since the others are transparent throughout.
struct Grid {
    std::vector<int> rows;
    std::vector<int> columns;
    std::vector<int> columnOf;  // rectangle column -> grid column, -1 when left out
    bool unchanged = false;     // some pixel of the rectangle is unchanged
    bool whole(const ChangedRect& rect) const {
        return int(rows.size()) == rect.height && int(columns.size()) == rect.width;
    }
};

const uint8_t* pixelAt(const ChangedRect& rect, int x, int y) {
    return rect.pixels.data() + (size_t(y) * size_t(rect.width) + size_t(x)) * 4;
}

Grid changedGrid(const ChangedRect& rect, bool everything) {
    Grid grid;
    std::vector<bool> column(size_t(rect.width), everything);
    for (int y = 0; y < rect.height; ++y) {
        const uint8_t* px = pixelAt(rect, 0, y);
        bool row = everything;
        for (int x = 0; x < rect.width; ++x, px += 4) {
            if (px[3] == kUnchangedPixel) {
                grid.unchanged = true;
            } else {
                row = true;
                column[size_t(x)] = true;
            }
        }
        if (row)
            grid.rows.push_back(y);
    }
    grid.columnOf.assign(size_t(rect.width), -1);
    for (int x = 0; x < rect.width; ++x)
        if (column[size_t(x)]) {
            grid.columnOf[size_t(x)] = int(grid.columns.size());
            grid.columns.push_back(x);
        }
    return grid;
}

// Maps the reduced indices in `used` to the distinct colours they stand for.
void collectColors(const std::vector<RGBQuad>& table, const std::array<int, 256>& used,
                   CompactPalette& palette) {
    for (int i = 0; i < 256; ++i) {
        if (used[size_t(i)] == 0)
            continue;
        const RGBQuad q = i < int(table.size()) ? table[size_t(i)] : RGBQuad{};
        const Color c{q.red, q.green, q.blue};
        auto found = std::find(palette.colors.begin(), palette.colors.end(), c);
        if (found == palette.colors.end())
            found = palette.colors.insert(palette.colors.end(), c);
        palette.indexOf[size_t(i)] = uint8_t(found - palette.colors.begin());
    }
}

// The table must keep one entry for the transparent pixels. When 256 colours are in use,
// a mapping that depends on the colour alone writes the unchanged pixels opaque (they get the
// colour they already show: the caller then reduces the whole rectangle); otherwise the least
// used colour gives way to its nearest neighbour.
CompactPalette buildPalette(const Bitmap& reduced, const ChangedRect& rect, const Grid& grid,
                            bool plainMapping) {
    std::array<int, 256> used{};
    for (size_t j = 0; j < grid.rows.size(); ++j) {
        const uint8_t* index = reduced.scanLine(int(j));
        for (size_t i = 0; i < grid.columns.size(); ++i)
            if (pixelAt(rect, grid.columns[i], grid.rows[j])[3] != kUnchangedPixel)
                ++used[index[i]];
    }
    CompactPalette palette;
    collectColors(reduced.colorTable(), used, palette);
    if (!grid.unchanged)
        return palette;
    if (palette.colors.size() < 256) {
        palette.transparent = int(palette.colors.size());
        palette.colors.push_back({0, 0, 0});
        return palette;
    }
    if (plainMapping)
        return palette;
    std::array<int, 256> weight{};
    for (int i = 0; i < 256; ++i)
        weight[palette.indexOf[size_t(i)]] += used[size_t(i)];
    const int rarest = int(std::min_element(weight.begin(), weight.end()) - weight.begin());
    int nearest = rarest == 0 ? 1 : 0;
    for (int e = 0; e < 256; ++e)
        if (e != rarest &&
            distance(palette.colors[size_t(e)], palette.colors[size_t(rarest)]) <
                distance(palette.colors[size_t(nearest)], palette.colors[size_t(rarest)]))
            nearest = e;
    // The rarest entry becomes the transparent one; its pixels move to the neighbour.
    for (uint8_t& entry : palette.indexOf)
        if (entry == rarest)
            entry = uint8_t(nearest);
    palette.colors[size_t(rarest)] = {0, 0, 0};
    palette.transparent = rarest;
    return palette;
}

// A table that is exactly the grey ramp 0, 1, 2, ... makes some decoders (Pillow 9) read the
// frame as a grey picture without a table and then compose the later frames wrongly; such a
// table has its first two entries exchanged.
void avoidBareGreyRamp(CompactPalette& palette) {
    const size_t n = palette.colors.size();
    if (n < 2 || (n & (n - 1)) != 0)
        return;  // the table is padded with black, which breaks the ramp
    for (size_t i = 0; i < n; ++i)
        if (palette.colors[i] != Color{uint8_t(i), uint8_t(i), uint8_t(i)})
            return;
    std::swap(palette.colors[0], palette.colors[1]);
    for (uint8_t& entry : palette.indexOf)
        entry = entry == 0 ? 1 : entry == 1 ? 0 : entry;
    if (palette.transparent == 0 || palette.transparent == 1)
        palette.transparent = 1 - palette.transparent;
}

void addControl(TGIFSubImage& frame, int64_t delay, int transparent) {
    auto control = TGIFGraphicControlExtension::CreateFor(frame);
    control->setDelay(uint16_t(delay));
    control->setDisposal(kDoNotDispose);
    if (transparent >= 0) {
        control->setTransparent(true);
        control->setTransparentColorIndex(uint8_t(transparent));
    }
    frame.extensions().Add(std::move(control));
}

void setColors(TGIFSubImage& frame, const std::vector<Color>& colors) {
    for (const Color& c : colors)
        frame.colorMap().AppendColor(makeTColor(c.red, c.green, c.blue));
}

void appendFrame(EncodedFrame& to, EncodedFrame&& more) {
    if (to.bytes.empty()) {
        to = std::move(more);
        return;
    }
    to.bytes.insert(to.bytes.end(), more.bytes.begin(), more.bytes.end());
    to.colorDepth = std::max(to.colorDepth, more.colorDepth);
    to.version = std::max(to.version, more.version);
    to.right = std::max(to.right, more.right);
    to.bottom = std::max(to.bottom, more.bottom);
}

// A frame of one transparent pixel that only lets time pass.
EncodedFrame encodePause(int64_t delay, bool loopForever) {
    TGIFImage doc;
    TGIFSubImage frame(doc);
    frame.setBounds(0, 0, 1, 1);
    setColors(frame, {{0, 0, 0}});
    frame.data()[0] = 0;
    if (loopForever)
        frame.extensions().Add(TGIFAppExtNSLoop::CreateFor(frame));
    addControl(frame, delay, 0);
    return EncodeFrame(frame);
}

// The grid's pixels reduced with the settings' palette, one row of the result per grid row.
Bitmap reduceGrid(const TGIFImage& settings, const ChangedRect& rect, const Grid& grid,
                  Bitmap& scratch) {
    scratch.prepare(int(grid.columns.size()), int(grid.rows.size()), PixelFormat::Bits24);
    for (size_t j = 0; j < grid.rows.size(); ++j) {
        uint8_t* d = scratch.scanLine(int(j));
        for (size_t i = 0; i < grid.columns.size(); ++i, d += 3)
            std::memcpy(d, pixelAt(rect, grid.columns[i], grid.rows[j]), 3);
    }
    Bitmap reduced = MakePalettedBitmap(scratch, settings.reductionKind(), settings.ditherKind(),
                                        settings.paletteBits(), nullptr);
    if (reduced.pixelFormat() != PixelFormat::Bits8 || reduced.width() != scratch.width() ||
        reduced.height() != scratch.height())
        throw EInvalidGraphicOperation("Scan line index out of range");
    return reduced;
}

// Swaps entries 0 and 1 of a table that would be the bare grey ramp (see avoidBareGreyRamp).
void avoidBareGreyRamp(FramePixels& pixels) {
    CompactPalette palette;
    palette.colors = pixels.colours;
    palette.transparent = pixels.transparent;
    for (int i = 0; i < 256; ++i)
        palette.indexOf[size_t(i)] = uint8_t(i);
    avoidBareGreyRamp(palette);
    if (palette.indexOf[0] == 0)
        return;
    pixels.colours = palette.colors;
    pixels.transparent = palette.transparent;
    for (uint8_t& index : pixels.indexes)
        index = palette.indexOf[index];
}

EncodedFrame encodePixels(const ChangedRect& rect, const FramePixels& pixels, int64_t delay,
                          bool loopForever) {
    TGIFImage doc;
    TGIFSubImage frame(doc);
    frame.setBounds(rect.left, rect.top, rect.width, rect.height);
    setColors(frame, pixels.colours);
    std::memcpy(frame.data(), pixels.indexes.data(), pixels.indexes.size());
    if (loopForever)
        frame.extensions().Add(TGIFAppExtNSLoop::CreateFor(frame));
    addControl(frame, delay, pixels.transparent);
    return EncodeFrame(frame);
}

EncodedFrame encodeRect(const TGIFImage& settings, const ChangedRect& rect, int64_t delay,
                        bool loopForever, Bitmap& scratch) {
    const bool plainMapping = settings.ditherKind() == dkPlain;
    Grid grid = changedGrid(rect, false);
    Bitmap reduced = reduceGrid(settings, rect, grid, scratch);
    CompactPalette palette = buildPalette(reduced, rect, grid, plainMapping);
    if (grid.unchanged && palette.transparent < 0 && !grid.whole(rect)) {
        grid = changedGrid(rect, true);
        reduced = reduceGrid(settings, rect, grid, scratch);
        palette = buildPalette(reduced, rect, grid, plainMapping);
    }
    avoidBareGreyRamp(palette);

    TGIFImage doc;
    TGIFSubImage frame(doc);
    frame.setBounds(rect.left, rect.top, rect.width, rect.height);
    setColors(frame, palette.colors);
    const auto transparent = uint8_t(std::max(palette.transparent, 0));
    std::memset(frame.data(), transparent, frame.dataSize());
    for (size_t j = 0; j < grid.rows.size(); ++j) {
        const uint8_t* index = reduced.scanLine(int(j));
        const int y = grid.rows[j];
        uint8_t* out = frame.data() + size_t(y) * size_t(rect.width);
        const uint8_t* px = pixelAt(rect, 0, y);
        for (int x = 0; x < rect.width; ++x, px += 4) {
            const int i = grid.columnOf[size_t(x)];
            if (i >= 0 && (px[3] != kUnchangedPixel || palette.transparent < 0))
                out[x] = palette.indexOf[index[i]];
        }
    }
    if (loopForever)
        frame.extensions().Add(TGIFAppExtNSLoop::CreateFor(frame));
    addControl(frame, delay, palette.transparent);
    return EncodeFrame(frame);
}

}  // namespace

bool takesExactColours(const TGIFImage& settings, CompactColours colours) {
    return colours == CompactColours::Exact &&
           (settings.reductionKind() == pkOctree || settings.reductionKind() == pkOctreeSystem);
}

void setLeadingDelay(EncodedFrame& frame, uint16_t delay) {
    std::vector<uint8_t>& b = frame.bytes;
    for (size_t p = 0; p + 6 <= b.size() && b[p] == 0x21;) {
        if (b[p + 1] == 0xF9) {
            b[p + 4] = uint8_t(delay);
            b[p + 5] = uint8_t(delay >> 8);
            return;
        }
        for (p += 2; p < b.size() && b[p] != 0; p += 1 + size_t(b[p])) {
        }
        ++p;
    }
    throw GIFException("Object type not supported for operation");
}

EncodedFrame EncodeChangedFrame(const TGIFImage& settings, const ChangedRect& rect,
                                const ChangedFrameTiming& timing, Bitmap& scratch,
                                CompactColours colours, FramePixels* written, UnchangedRuns runs) {
    int64_t left = std::max<int64_t>(timing.delay, 0);
    const int64_t first = std::min(left, kLongestDelay);
    EncodedFrame encoded;
    if (rect.empty()) {
        encoded = encodePause(first, timing.loopForever);
    } else if (takesExactColours(settings, colours)) {
        FramePixels pixels = exactColours(rect, settings.ditherKind() != dkPlain, runs);
        avoidBareGreyRamp(pixels);
        encoded = encodePixels(rect, pixels, first, timing.loopForever);
        if (written)
            *written = std::move(pixels);
    } else {
        encoded = encodeRect(settings, rect, first, timing.loopForever, scratch);
    }
    for (left -= first; left > 0; left -= std::min(left, kLongestDelay))
        appendFrame(encoded, encodePause(std::min(left, kLongestDelay), false));
    return encoded;
}

}  // namespace fk
