#include "video/compact_timeline.h"

#include <algorithm>
#include <cstring>
#include <utility>

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

}  // namespace

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
    rect.left = left;
    rect.top = top;
    rect.width = right - left + 1;
    rect.height = bottom - top + 1;
    rect.pixels.resize(size_t(rect.width) * size_t(rect.height) * 4);
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
        frame.rect = changedPixels(m_shown, m_current);
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
