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
// colour they already show); otherwise the least used colour gives way to its nearest neighbour.
CompactPalette buildPalette(const Bitmap& reduced, const ChangedRect& rect, bool plainMapping) {
    std::array<int, 256> used{};
    bool unchanged = false;
    for (int y = 0; y < rect.height; ++y) {
        const uint8_t* index = reduced.scanLine(y);
        const uint8_t* px = rect.pixels.data() + size_t(y) * size_t(rect.width) * 4;
        for (int x = 0; x < rect.width; ++x, px += 4) {
            if (px[3] == kUnchangedPixel)
                unchanged = true;
            else
                ++used[index[x]];
        }
    }
    CompactPalette palette;
    collectColors(reduced.colorTable(), used, palette);
    if (!unchanged)
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

EncodedFrame encodeRect(const TGIFImage& settings, const ChangedRect& rect, int64_t delay,
                        bool loopForever, Bitmap& scratch) {
    scratch.prepare(rect.width, rect.height, PixelFormat::Bits24);
    for (int y = 0; y < rect.height; ++y) {
        const uint8_t* s = rect.pixels.data() + size_t(y) * size_t(rect.width) * 4;
        uint8_t* d = scratch.scanLine(y);
        for (int x = 0; x < rect.width; ++x, s += 4, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
    const Bitmap reduced = MakePalettedBitmap(
        scratch, settings.reductionKind(), settings.ditherKind(), settings.paletteBits(), nullptr);
    if (reduced.pixelFormat() != PixelFormat::Bits8 || reduced.width() != rect.width ||
        reduced.height() != rect.height)
        throw EInvalidGraphicOperation("Scan line index out of range");
    CompactPalette palette = buildPalette(reduced, rect, settings.ditherKind() == dkPlain);
    avoidBareGreyRamp(palette);

    TGIFImage doc;
    TGIFSubImage frame(doc);
    frame.setBounds(rect.left, rect.top, rect.width, rect.height);
    setColors(frame, palette.colors);
    for (int y = 0; y < rect.height; ++y) {
        const uint8_t* index = reduced.scanLine(y);
        const uint8_t* px = rect.pixels.data() + size_t(y) * size_t(rect.width) * 4;
        uint8_t* out = frame.data() + size_t(y) * size_t(rect.width);
        for (int x = 0; x < rect.width; ++x, px += 4)
            out[x] = px[3] == kUnchangedPixel && palette.transparent >= 0
                         ? uint8_t(palette.transparent)
                         : palette.indexOf[index[x]];
    }
    if (loopForever)
        frame.extensions().Add(TGIFAppExtNSLoop::CreateFor(frame));
    addControl(frame, delay, palette.transparent);
    return EncodeFrame(frame);
}

}  // namespace

EncodedFrame EncodeChangedFrame(const TGIFImage& settings, const ChangedRect& rect,
                                const ChangedFrameTiming& timing, Bitmap& scratch) {
    int64_t left = std::max<int64_t>(timing.delay, 0);
    const int64_t first = std::min(left, kLongestDelay);
    EncodedFrame encoded = rect.empty()
                               ? encodePause(first, timing.loopForever)
                               : encodeRect(settings, rect, first, timing.loopForever, scratch);
    for (left -= first; left > 0; left -= std::min(left, kLongestDelay))
        appendFrame(encoded, encodePause(std::min(left, kLongestDelay), false));
    return encoded;
}

}  // namespace fk
