#include "capture/capture.h"

#include <algorithm>

#include "base/text.h"
#include "capture/naming.h"
#include "capture/save_capture.h"
#include "graphics/bitmap.h"

namespace fk {

void Delay(int32_t ms, Clock& clock, EventPump& pump) {
    if (ms <= 0)
        return;
    const int64_t start = clock.nowMs();
    for (;;) {
        const int64_t elapsed = clock.nowMs() - start;
        if (elapsed >= ms)
            return;
        pump.processEventsFor(ms - elapsed);
    }
}

void DrawCursor(Bitmap& bitmap, const CursorImage& cursor, int offsetX, int offsetY) {
    const int left = cursor.x - offsetX - cursor.hotX;
    const int top = cursor.y - offsetY - cursor.hotY;
    if (cursor.pixels.size() < size_t(cursor.width) * size_t(cursor.height))
        return;
    const bool device32 = bitmap.bitsPerPixel() == 32;
    for (int cy = 0; cy < cursor.height; ++cy) {
        const int y = top + cy;
        if (y < 0 || y >= bitmap.height())
            continue;
        const int from = std::max(0, -left);
        const int to = std::min(cursor.width, bitmap.width() - left);
        for (int cx = from; cx < to; ++cx) {
            const uint32_t argb = cursor.pixels[size_t(cy) * size_t(cursor.width) + size_t(cx)];
            const unsigned a = argb >> 24;
            if (a == 0 && (argb & 0xFFFFFF) == 0)
                continue;
            const unsigned r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
            const int x = left + cx;
            // Premultiplied "over": result = source + destination * (1 - alpha).
            auto over = [a](unsigned src, unsigned dst) {
                return uint8_t(std::min(255u, src + (dst * (255 - a) + 127) / 255));
            };
            if (device32) {
                uint8_t* p = bitmap.scanLine(y) + 4 * size_t(x);
                p[0] = over(b, p[0]);
                p[1] = over(g, p[1]);
                p[2] = over(r, p[2]);
            } else {
                Color d = bitmap.pixel(x, y);
                bitmap.setPixel(x, y, {over(r, d.red), over(g, d.green), over(b, d.blue)});
            }
        }
    }
}

void Capture::WaitShotDelay() {
    if (m_host.shotDelayText().empty())
        m_host.setShotDelayText("0");
    if (!m_host.delayedShoot())
        return;
    // Seconds beyond the 32-bit millisecond range wait not at all.
    const int64_t ms = int64_t(StrToInt(m_host.shotDelayText())) * 1000;
    if (ms > INT32_MAX || ms < INT32_MIN)
        return;
    Delay(int32_t(ms));
}

void Capture::advanceRunningNumber() {
    m_host.setRunningNumberText(AdvanceRunningNumber(m_host.runningNumberText()));
}

void Capture::drawCursorIfAsked(Bitmap& bitmap, int offsetX, int offsetY) {
    if (!m_host.captureCursor())
        return;
    if (auto c = m_grabber.cursor())
        DrawCursor(bitmap, *c, offsetX, offsetY);
}

void Capture::shoot(const std::function<ScreenRect(Bitmap&)>& grab) {
    std::string saved;
    try {
        Bitmap bitmap;
        const ScreenRect rect = grab(bitmap);
        drawCursorIfAsked(bitmap, rect.x, rect.y);
        saved = SaveCapture(bitmap, m_host.saveOptions());
    } catch (...) {
        advanceRunningNumber();
        throw;
    }
    advanceRunningNumber();
    if (saved.empty())
        m_host.noFormatSelected();
    else
        m_host.pictureSaved(saved);
}

void Capture::ShootScreen() {
    shoot([this](Bitmap& bitmap) {
        m_grabber.grabScreen(bitmap);
        return m_grabber.screenRect();
    });
}

void Capture::ShootWindow() {
    WaitShotDelay();
    const std::optional<WindowHandle> window = m_grabber.foregroundWindow();
    if (!window)
        return;
    shoot([&](Bitmap& bitmap) { return m_grabber.grabWindow(*window, bitmap); });
}

}  // namespace fk
