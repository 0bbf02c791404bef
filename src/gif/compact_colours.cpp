#include "gif/compact_colours.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "gif/changed_frame.h"
#include "gif/reduction/color_lookup.h"
#include "gif/reduction/color_quantizer.h"

namespace fk {

namespace {

// A colour covering at least this many pixels of the rectangle is flat: it keeps an entry.
constexpr int kFlatPixels = 8;
// ... and at least this share of them.
constexpr size_t kFlatShare = 1024;
// The rare colours are a small part when they cover less than 1/kFewShare of the pixels.
constexpr size_t kFewShare = 4;
// Entries always left for the colours that are not flat, when there are such colours.
constexpr int kSharedEntries = 32;
// The error diffusion carries no more than this per channel, and a dithered pixel is never
// further than kFurthest from its colour on any channel, so that no pixel strays far.
constexpr int kMostError = 32;
constexpr int kFurthest = 48;
// The value of a flat colour that has no entry of its own (more of them than entries).
constexpr uint32_t kFlatShared = 0x10000;
constexpr uint32_t kNoColour = 0xFFFFFFFFu;

uint32_t colourAt(const uint8_t* px) {
    return uint32_t(px[0]) | uint32_t(px[1]) << 8 | uint32_t(px[2]) << 16;
}

// Distinct colours and their pixel counts, open addressing.
class ColourCounts {
public:
    ColourCounts() { m_slots.assign(size_t(1) << 12, {kNoColour, 0}); }
    // The slot of `colour`, added with a count of 0 when new.
    uint32_t& count(uint32_t colour) {
        if (2 * (m_size + 1) > m_slots.size())
            grow();
        Slot& s = find(colour);
        if (s.colour == kNoColour) {
            s.colour = colour;
            ++m_size;
        }
        return s.value;
    }
    // The value of a colour that is present.
    uint32_t at(uint32_t colour) const {
        return const_cast<ColourCounts*>(this)->find(colour).value;
    }
    size_t size() const { return m_size; }
    template <class F>
    void each(F f) const {
        for (const Slot& s : m_slots)
            if (s.colour != kNoColour)
                f(s.colour, s.value);
    }
    void set(uint32_t colour, uint32_t value) { find(colour).value = value; }

private:
    struct Slot {
        uint32_t colour;
        uint32_t value;
    };
    Slot& find(uint32_t colour) {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = (colour * 2654435761u) & mask;; i = (i + 1) & mask)
            if (m_slots[i].colour == colour || m_slots[i].colour == kNoColour)
                return m_slots[i];
    }
    void grow() {
        std::vector<Slot> old(m_slots.size() * 2, {kNoColour, 0});
        old.swap(m_slots);
        for (const Slot& s : old)
            if (s.colour != kNoColour)
                find(s.colour) = s;
    }
    std::vector<Slot> m_slots;
    size_t m_size = 0;
};

Color toColor(uint32_t c) {
    return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
}

// Which colours keep an entry of their own: all when they fit, else the flat ones, most pixels
// first. The value of each colour becomes its entry + 1, or without one, kFlatShared or 0.
std::vector<Color> chooseOwnEntries(ColourCounts& counts, size_t room, size_t flat, bool& shared) {
    std::vector<std::pair<uint32_t, uint32_t>> byCount;  // pixels, colour
    byCount.reserve(counts.size());
    counts.each([&](uint32_t colour, uint32_t n) { byCount.push_back({n, colour}); });
    shared = byCount.size() > room;
    size_t own = byCount.size();
    if (shared) {
        const size_t most = room - kSharedEntries;
        std::partial_sort(byCount.begin(), byCount.begin() + ptrdiff_t(most), byCount.end(),
                          [](auto a, auto b) {
                              return a.first != b.first ? a.first > b.first : a.second < b.second;
                          });
        own = 0;
        while (own < most && byCount[own].first >= flat)
            ++own;
    } else {
        std::sort(byCount.begin(), byCount.end(),
                  [](auto a, auto b) { return a.second < b.second; });
    }
    std::vector<Color> colours;
    for (size_t i = 0; i < byCount.size(); ++i)
        counts.set(byCount[i].second, i < own                    ? uint32_t(i + 1)
                                      : byCount[i].first >= flat ? kFlatShared
                                                                 : 0);
    for (size_t i = 0; i < own; ++i)
        colours.push_back(toColor(byCount[i].second));
    return colours;
}

// Burkes' weights (of 32) over the two rows that a serpentine walk still reaches.
struct Diffusion {
    explicit Diffusion(int width)
        : rows{std::vector<int>(size_t(width + 4) * 3), std::vector<int>(size_t(width + 4) * 3)} {}
    int* at(int row, int x) { return &rows[size_t(row)][size_t(x + 2) * 3]; }
    void nextRow() {
        std::swap(rows[0], rows[1]);
        std::fill(rows[1].begin(), rows[1].end(), 0);
    }
    std::array<std::vector<int>, 2> rows;
};

}  // namespace

FramePixels exactColours(const ChangedRect& rect, bool dither, UnchangedRuns runs) {
    const int w = rect.width, h = rect.height;
    const size_t n = size_t(w) * size_t(h);
    ColourCounts counts;
    bool unchanged = false;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* px = &rect.pixels[i * 4];
        if (px[3] == kUnchangedPixel)
            unchanged = true;
        else
            ++counts.count(colourAt(px));
    }
    FramePixels out;
    bool shared = false;
    const size_t flat = std::max<size_t>(kFlatPixels, n / kFlatShare);
    out.colours = chooseOwnEntries(counts, unchanged ? 255 : 256, flat, shared);
    // The colours without an entry of their own share entries made from their pixels.
    std::vector<bool> kind(n, false);  // shares an entry
    if (shared) {
        size_t sharing = 0, changed = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* px = &rect.pixels[i * 4];
            if (px[3] == kUnchangedPixel)
                continue;
            const uint32_t value = counts.at(colourAt(px));
            kind[i] = value == 0 || value == kFlatShared;
            sharing += kind[i];
            ++changed;
        }
        // Where the rare colours are a small part (the edges of letters), a table only up to
        // the next power of two keeps the code size, and so every code, small; a photo or a
        // gradient takes every entry left.
        const size_t room = unchanged ? 255 : 256;
        size_t entries = 256;
        if (sharing * kFewShare < changed)
            for (entries = 2; entries < out.colours.size() + kSharedEntries + (256 - room);)
                entries *= 2;
        TColorQuantizer tree(
            int(std::min(entries, size_t(256)) - (256 - room) - out.colours.size()), 8);
        for (size_t i = 0; i < n; ++i)
            if (kind[i]) {
                const uint8_t* px = &rect.pixels[i * 4];
                tree.AddColor(px[2], px[1], px[0]);
            }
        std::array<RGBQuad, 256> table{};
        const int made = tree.WriteColorTable(table);
        for (int k = 0; k < made; ++k)
            out.colours.push_back(
                {table[size_t(k)].red, table[size_t(k)].green, table[size_t(k)].blue});
    }
    if (unchanged) {
        out.transparent = int(out.colours.size());
        out.colours.push_back({0, 0, 0});
    }
    out.indexes.assign(n, uint8_t(std::max(out.transparent, 0)));
    Palette palette;
    if (shared)
        for (const Color& c : out.colours)
            palette.push_back({c.red, c.green, c.blue, 0});
    TSlowColorLookup nearest(palette);
    Diffusion errors(w);
    if (shared)
        out.loose.assign(n, false);
    for (int y = 0; y < h; ++y) {
        const bool forward = y % 2 == 0;
        const int step = forward ? 1 : -1;
        for (int k = 0; k < w; ++k) {
            const int x = forward ? k : w - 1 - k;
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            const uint8_t* px = &rect.pixels[i * 4];
            if (px[3] == kUnchangedPixel)
                continue;
            if (!kind[i]) {
                out.indexes[i] = uint8_t(counts.at(colourAt(px)) - 1);
                continue;
            }
            // Beyond the rectangle's edge, the picture is taken to go on.
            auto sharing = [&](int dx) {
                const int xx = x + dx;
                return xx < 0 || xx >= w || kind[size_t(ptrdiff_t(i) + dx)];
            };
            const uint32_t colour = colourAt(px);
            out.loose[i] = counts.at(colour) == 0;
            const bool diffuse = dither && out.loose[i] && sharing(-1) && sharing(1);
            int want[3] = {px[2], px[1], px[0]};
            const int* e = errors.at(0, x);
            if (diffuse)
                for (int c = 0; c < 3; ++c)
                    want[c] = std::clamp(want[c] + std::clamp(e[c] / 32, -kMostError, kMostError),
                                         0, 255);
            uint8_t index = nearest.Nearest(uint8_t(want[0]), uint8_t(want[1]), uint8_t(want[2]));
            Color got = out.colours[index];
            if (diffuse &&
                (std::abs(got.red - px[2]) > kFurthest || std::abs(got.green - px[1]) > kFurthest ||
                 std::abs(got.blue - px[0]) > kFurthest)) {
                index = nearest.Nearest(px[2], px[1], px[0]);
                got = out.colours[index];
            }
            out.indexes[i] = index;
            if (!diffuse)
                continue;
            const int err[3] = {want[0] - got.red, want[1] - got.green, want[2] - got.blue};
            for (int c = 0; c < 3; ++c) {
                errors.at(0, x + step)[c] += 8 * err[c];
                errors.at(0, x + 2 * step)[c] += 4 * err[c];
                errors.at(1, x - 2 * step)[c] += 2 * err[c];
                errors.at(1, x - step)[c] += 4 * err[c];
                errors.at(1, x)[c] += 8 * err[c];
                errors.at(1, x + step)[c] += 4 * err[c];
                errors.at(1, x + 2 * step)[c] += 2 * err[c];
            }
        }
        errors.nextRow();
    }
    // An unchanged pixel whose colour has an entry of its own shows the same in it, and the
    // image data then holds whole rows of the picture rather than holes that vary from frame to
    // frame (measured smaller than transparency or than only continuing runs).
    if (unchanged && runs == UnchangedRuns::Continue)
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* px = &rect.pixels[i * 4];
            if (px[3] != kUnchangedPixel)
                continue;
            const uint32_t own = counts.at(colourAt(px));
            if (own != 0 && own != kFlatShared)
                out.indexes[i] = uint8_t(own - 1);
        }
    return out;
}

}  // namespace fk
