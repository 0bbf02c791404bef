#include "capture/capture.h"

#include <algorithm>

#include "base/text.h"
#include "capture/naming.h"
#include "capture/png_copy.h"
#include "capture/save_capture.h"
#include "platform/errors.h"
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
    if (m_request && m_request->delaySeconds) {
        if (*m_request->delaySeconds > 0)
            waitCountingDown(int64_t(*m_request->delaySeconds) * 1000);
        return;
    }
    if (m_host.shotDelayText().empty())
        m_host.setShotDelayText("0");
    if (!m_host.delayedShoot())
        return;
    // Seconds beyond the 32-bit millisecond range wait not at all.
    const int64_t ms = int64_t(StrToInt(m_host.shotDelayText())) * 1000;
    if (ms > INT32_MAX || ms <= 0)
        return;
    waitCountingDown(ms);
}

void Capture::waitCountingDown(int64_t ms) {
    // As Delay, never shorter, with the seconds left told as they change and a cancel that
    // ends the wait at once.
    const uint64_t cancels = m_cancels;
    ++m_waiting;
    struct Told {
        Capture& c;
        ~Told() {
            --c.m_waiting;
            c.m_countdownShown = 0;  // a wait this one was nested in tells its own seconds again
            c.m_host.shotDelayCountdown(0);
        }
    } told{*this};
    const int64_t start = m_clock.nowMs();
    for (;;) {
        if (m_cancels != cancels)
            throw EShotCancelled();
        const int64_t left = ms - (m_clock.nowMs() - start);
        if (left <= 0)
            return;
        const int seconds = int((left + 999) / 1000);
        if (seconds != m_countdownShown) {
            m_countdownShown = seconds;
            m_host.shotDelayCountdown(seconds);
        }
        m_pump.processEventsFor(left - int64_t(seconds - 1) * 1000);
    }
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

void Capture::shoot(const std::function<ScreenRect(Bitmap&)>& grab,
                    const std::optional<CursorImage>* frozenCursor) {
    std::string saved;
    std::optional<PngCopy> copy;
    // A picture given its own file takes no running number.
    const bool counted = !m_request || m_request->output.empty();
    try {
        Bitmap bitmap;
        const ScreenRect rect = grab(bitmap);
        if (!frozenCursor)
            drawCursorIfAsked(bitmap, rect.x, rect.y);
        else if (*frozenCursor && m_host.captureCursor())
            DrawCursor(bitmap, **frozenCursor, rect.x, rect.y);
        SaveOptions options = m_host.saveOptions();
        if (m_request) {
            if (m_request->format != PictureFormat::NotSelected)
                options.format = m_request->format;
            if (!m_request->mask.empty())
                options.mask = m_request->mask;
            if (m_request->output == "-") {
                m_streamed = EncodeCapture(bitmap, options);
                return;
            }
            options.outputFile = m_request->output;
        }
        if (m_host.wantsPngCopy())
            copy.emplace(bitmap, options.format);
        saved = SaveCapture(bitmap, options);
    } catch (...) {
        if (counted)
            advanceRunningNumber();
        throw;
    }
    if (counted)
        advanceRunningNumber();
    if (saved.empty()) {
        m_host.noFormatSelected();
        return;
    }
    m_host.pictureSaved(saved);
    if (copy)
        m_host.pngCopyMade(saved, copy->take(saved));
}

void Capture::setGrabArea(GrabArea area) {
    m_area = area;
    m_grabber.setGrabArea(area);
}

FrozenScreen Capture::freezeScreen(bool withWindows) {
    FrozenScreen frozen;
    m_grabber.setGrabArea(GrabArea::WholeDesktop);
    struct Back {
        Capture& c;
        ~Back() { c.m_grabber.setGrabArea(c.m_area); }
    } back{*this};
    frozen.area = m_grabber.screenRect();
    m_grabber.grabScreen(frozen.picture);
    // The crop reads the picture: it is what counts, should the screen change meanwhile.
    frozen.area.width = frozen.picture.width();
    frozen.area.height = frozen.picture.height();
    if (m_host.captureCursor())
        frozen.cursor = m_grabber.cursor();
    if (withWindows)
        frozen.windows = m_grabber.windowsOnScreen();
    return frozen;
}

void Capture::ShootRegion(const FrozenScreen& frozen, const ScreenRect& region) {
    const ScreenRect inside = intersect(region, frozen.area);
    if (inside.width <= 0)
        throw EGrabError("The region " + regionText(region) + " lies outside the screen (" +
                         regionText(frozen.area) + ")");
    shoot(
        [&](Bitmap& bitmap) {
            bitmap = cropBitmap(frozen.picture, frozen.area, inside);
            return inside;
        },
        &frozen.cursor);
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
