#include "video/compact_timeline.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace fk {

namespace {

// The fourth byte of a screen pixel carries nothing.
constexpr uint32_t kColorBits = 0x00FFFFFF;

uint32_t colorAt(const uint8_t* row, int x) {
    uint32_t v;
    std::memcpy(&v, row + size_t(x) * 4, 4);
    return v & kColorBits;
}

bool sameSize(const Bitmap& a, const Bitmap& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           a.bitsPerPixel() == b.bitsPerPixel();
}

void requireScreenPixels(Bitmap& screen) {
    if (screen.bitsPerPixel() != 32)
        screen.setPixelFormat(PixelFormat::Device);
}

// Changes are grouped on a grid of tiles; tiles closer than kGapTiles join one group.
constexpr int kTile = 8;
constexpr int kGapTiles = 4;
// More groups than this are written as one rectangle.
constexpr int kMostGroups = 8;
// Groups are written apart when their rectangles cover at most half of the one around them and
// leave out at least this many pixels.
constexpr int64_t kLeastLeftOut = 2048;

struct Box {
    int left, top, right, bottom;  // inclusive
    int64_t area() const { return int64_t(right - left + 1) * (bottom - top + 1); }
    bool near(const Box& o, int gap) const {
        return left - gap <= o.right && o.left - gap <= right && top - gap <= o.bottom &&
               o.top - gap <= bottom;
    }
    void take(const Box& o) {
        left = std::min(left, o.left);
        top = std::min(top, o.top);
        right = std::max(right, o.right);
        bottom = std::max(bottom, o.bottom);
    }
};

bool changedAt(const ChangedRect& rect, int x, int y) {
    return rect.pixels[(size_t(y) * size_t(rect.width) + size_t(x)) * 4 + 3] != kUnchangedPixel;
}

// The groups of changed tiles of `rect`, in tiles; none when there are too many.
std::vector<Box> changedGroups(const ChangedRect& rect) {
    const int columns = (rect.width + kTile - 1) / kTile, rows = (rect.height + kTile - 1) / kTile;
    std::vector<uint8_t> tiles(size_t(columns) * size_t(rows), 0);  // 1 changed, 2 grouped
    for (int y = 0; y < rect.height; ++y)
        for (int x = 0; x < rect.width; ++x)
            if (changedAt(rect, x, y))
                tiles[size_t(y / kTile) * size_t(columns) + size_t(x / kTile)] = 1;
    std::vector<Box> groups;
    std::vector<std::pair<int, int>> queue;
    for (int ty = 0; ty < rows; ++ty)
        for (int tx = 0; tx < columns; ++tx) {
            if (tiles[size_t(ty) * size_t(columns) + size_t(tx)] != 1)
                continue;
            if (groups.size() == kMostGroups)
                return {};
            Box box{tx, ty, tx, ty};
            queue.assign(1, {tx, ty});
            tiles[size_t(ty) * size_t(columns) + size_t(tx)] = 2;
            while (!queue.empty()) {
                const auto [cx, cy] = queue.back();
                queue.pop_back();
                box.take({cx, cy, cx, cy});
                for (int y = std::max(cy - kGapTiles, 0); y <= std::min(cy + kGapTiles, rows - 1);
                     ++y)
                    for (int x = std::max(cx - kGapTiles, 0);
                         x <= std::min(cx + kGapTiles, columns - 1); ++x)
                        if (uint8_t& t = tiles[size_t(y) * size_t(columns) + size_t(x)]; t == 1) {
                            t = 2;
                            queue.emplace_back(x, y);
                        }
            }
            groups.push_back(box);
        }
    // Groups whose rectangles come close are one.
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t i = 0; i < groups.size() && !merged; ++i)
            for (size_t j = i + 1; j < groups.size() && !merged; ++j)
                if (groups[i].near(groups[j], kGapTiles)) {
                    groups[i].take(groups[j]);
                    groups.erase(groups.begin() + ptrdiff_t(j));
                    merged = true;
                }
    }
    return groups;
}

// The pixels of `rect` within `box` (in tiles), trimmed to those that changed.
ChangedRect cropChanged(const ChangedRect& rect, const Box& tiles) {
    Box px{rect.width, rect.height, -1, -1};
    for (int y = tiles.top * kTile; y < std::min((tiles.bottom + 1) * kTile, rect.height); ++y)
        for (int x = tiles.left * kTile; x < std::min((tiles.right + 1) * kTile, rect.width); ++x)
            if (changedAt(rect, x, y))
                px.take({x, y, x, y});
    ChangedRect part;
    part.left = rect.left + px.left;
    part.top = rect.top + px.top;
    part.width = px.right - px.left + 1;
    part.height = px.bottom - px.top + 1;
    part.pixels.resize(size_t(part.width) * size_t(part.height) * 4);
    for (int y = 0; y < part.height; ++y)
        std::memcpy(&part.pixels[size_t(y) * size_t(part.width) * 4],
                    &rect.pixels[(size_t(px.top + y) * size_t(rect.width) + size_t(px.left)) * 4],
                    size_t(part.width) * 4);
    return part;
}

}  // namespace

std::vector<ChangedRect> splitFarApart(ChangedRect&& rect) {
    std::vector<ChangedRect> parts;
    const std::vector<Box> groups = rect.empty() ? std::vector<Box>{} : changedGroups(rect);
    if (groups.size() > 1) {
        int64_t covered = 0;
        for (const Box& g : groups)
            parts.push_back(cropChanged(rect, g));
        for (const ChangedRect& p : parts)
            covered += int64_t(p.width) * p.height;
        const int64_t whole = int64_t(rect.width) * rect.height;
        if (covered * 2 <= whole && whole - covered >= kLeastLeftOut)
            return parts;
        parts.clear();
    }
    parts.push_back(std::move(rect));
    return parts;
}

bool sameScreen(const Bitmap& a, const Bitmap& b) {
    if (!sameSize(a, b))
        return false;
    if (std::memcmp(a.bits(), b.bits(), a.imageSize()) == 0)
        return true;
    for (int y = 0; y < a.height(); ++y) {
        const uint8_t* ra = a.scanLine(y);
        const uint8_t* rb = b.scanLine(y);
        if (std::memcmp(ra, rb, size_t(a.width()) * 4) == 0)
            continue;
        for (int x = 0; x < a.width(); ++x)
            if (colorAt(ra, x) != colorAt(rb, x))
                return false;
    }
    return true;
}

ChangedRect changedPixels(const Bitmap& before, const Bitmap& after) {
    const int width = after.width();
    int top = -1, bottom = -1, left = width, right = -1;
    for (int y = 0; y < after.height(); ++y) {
        const uint8_t* b = before.scanLine(y);
        const uint8_t* a = after.scanLine(y);
        if (std::memcmp(a, b, size_t(width) * 4) == 0)
            continue;
        auto same = [&](int x) { return colorAt(a, x) == colorAt(b, x); };
        // Only columns outside those found so far can widen them; the row counts either way.
        bool changed = false;
        int x = 0;
        while (x < left && same(x))
            ++x;
        if (x < left) {
            left = x;
            changed = true;
        }
        if (left == width)  // only the unused fourth bytes differ
            continue;
        int r = width - 1;
        while (r > right && same(r))
            --r;
        if (r > right) {
            right = r;
            changed = true;
        }
        for (int c = left; !changed && c <= right; ++c)
            changed = !same(c);
        if (!changed)
            continue;
        if (top < 0)
            top = y;
        bottom = y;
    }
    ChangedRect rect;
    if (top < 0)
        return rect;
    rect = changedRectOf(left, top, right, bottom);
    uint8_t* out = rect.pixels.data();
    for (int y = top; y <= bottom; ++y) {
        const uint8_t* b = before.scanLine(y);
        const uint8_t* a = after.scanLine(y);
        for (int x = left; x <= right; ++x, out += 4) {
            std::memcpy(out, a + size_t(x) * 4, 3);
            out[3] = colorAt(a, x) == colorAt(b, x) ? kUnchangedPixel : 0;
        }
    }
    return rect;
}

ChangedRect wholeScreen(const Bitmap& screen, int width, int height) {
    ChangedRect rect;
    rect.width = std::max(width, screen.width());
    rect.height = std::max(height, screen.height());
    rect.pixels.assign(size_t(rect.width) * size_t(rect.height) * 4, 0);
    for (int y = 0; y < screen.height(); ++y) {
        const uint8_t* s = screen.scanLine(y);
        uint8_t* d = rect.pixels.data() + size_t(y) * size_t(rect.width) * 4;
        for (int x = 0; x < screen.width(); ++x, s += 4, d += 4)
            std::memcpy(d, s, 3);
    }
    return rect;
}

void CompactTimeline::emitCurrent(int64_t delay) {
    CompactFrame frame;
    if (m_shown.empty() || !sameSize(m_shown, m_current) || m_shownDepth != m_currentDepth) {
        frame.rect = wholeScreen(m_current, m_extentWidth, m_extentHeight);
        m_extentWidth = frame.rect.width;
        m_extentHeight = frame.rect.height;
    } else {
        ChangedRect changed = changedPixels(m_shown, m_current);
        // Changes far apart go as frames of their own, the ones before the last shown for the
        // shortest delay each (viewers stretch a delay of 0 or 1 to a tenth of a second), where
        // the step is long enough to hold them all.
        std::vector<ChangedRect> parts;
        if (delay >= 2 * kShortestDelay)
            parts = splitFarApart(ChangedRect(changed));
        if (parts.empty() || int64_t(parts.size()) * kShortestDelay > delay) {
            parts.clear();
            parts.push_back(std::move(changed));
        }
        frame.rect = std::move(parts.back());
        parts.pop_back();
        for (ChangedRect& part : parts) {
            m_emit({std::move(part), kShortestDelay});
            delay -= kShortestDelay;
            m_currentStart += kShortestDelay;
        }
    }
    frame.delay = std::max(delay, kShortestDelay);
    std::swap(m_shown, m_current);
    std::swap(m_shownDepth, m_currentDepth);
    m_currentStart += frame.delay;
    m_emit(std::move(frame));
}

void CompactTimeline::add(Bitmap& screen, int64_t timeMs) {
    const int depth = screen.bitsPerPixel();
    requireScreenPixels(screen);
    if (!m_started) {
        m_started = true;
        m_firstGrabMs = timeMs;
        m_currentStart = 0;
        m_currentDepth = depth;
        std::swap(m_current, screen);
        return;
    }
    if (depth == m_currentDepth && sameScreen(screen, m_current))
        return;
    const int64_t delay = centiseconds(timeMs) - m_currentStart;
    if (delay >= kShortestDelay)
        emitCurrent(delay);
    // Otherwise the new screen replaces the current frame's and is shown from its start.
    std::swap(m_current, screen);
    m_currentDepth = depth;
}

void CompactTimeline::finish(int64_t timeMs) {
    if (!m_started)
        return;
    emitCurrent(centiseconds(timeMs) - m_currentStart);
    m_started = false;
}

}  // namespace fk
