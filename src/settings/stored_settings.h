#pragma once

#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace fk {

// The settings as values, for a run that has no window to hold them.
class StoredSettings final : public SettingsControls {
public:
    int windowLeft() override { return left; }
    void setWindowLeft(int x) override { left = x; }
    int windowTop() override { return top; }
    void setWindowTop(int y) override { top = y; }
    int alpha() override { return alphaLevel; }
    void setAlpha(int level) override { alphaLevel = level; }
    bool useAlpha() override { return alphaOn; }
    void setUseAlpha(bool on) override { alphaOn = on; }
    bool startMinimized() override { return minimized; }
    void setStartMinimized(bool on) override { minimized = on; }
    std::string folder() override { return folderPath; }
    void setFolder(const std::string& path) override { folderPath = path; }
    std::string counterText() override { return counter; }
    void setCounterText(const std::string& text) override { counter = text; }
    int formatIndex() override { return format; }
    void setFormatIndex(int index) override { format = index; }
    int jpegQuality() override { return quality; }
    void setJpegQuality(int q) override { quality = q; }
    int gifPalette() override { return palette; }
    void setGifPalette(int index) override { palette = index; }
    int videoType() override { return video; }
    void setVideoType(int index) override { video = index; }
    int gifSpeed() override { return speed; }
    void setGifSpeed(int position) override { speed = position; }
    bool useDelay() override { return delayOn; }
    void setUseDelay(bool on) override { delayOn = on; }
    bool captureCursor() override { return cursor; }
    void setCaptureCursor(bool on) override { cursor = on; }
    std::string delayText() override { return delay; }
    void setDelayText(const std::string& text) override { delay = text; }
    std::string timerText() override { return timer; }
    void setTimerText(const std::string& text) override { timer = text; }
    std::string lastMask() override { return mask; }
    void setLastMask(const std::string& text) override { mask = text; }
    std::vector<std::string> masks() override { return maskList; }
    void setMasks(const std::vector<std::string>& list) override { maskList = list; }
    bool notifications() override { return notify; }
    void setNotifications(bool on) override { notify = on; }
    bool copyToClipboard() override { return clipboard; }
    void setCopyToClipboard(bool on) override { clipboard = on; }
    bool wholeDesktop() override { return desktop; }
    void setWholeDesktop(bool on) override { desktop = on; }
    std::string lastRegion() override { return region; }
    void setLastRegion(const std::string& r) override { region = r; }

    int left = 0, top = 0, alphaLevel = 255, format = -1, quality = 100, palette = -1, video = -1,
        speed = 10;
    bool alphaOn = false, minimized = false, delayOn = false, cursor = false, notify = true,
         clipboard = false, desktop = false;
    std::string folderPath, counter, delay, timer, mask, region;
    std::vector<std::string> maskList;
};

}  // namespace fk
