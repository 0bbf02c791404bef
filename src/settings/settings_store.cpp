#include "settings/settings_store.h"

#include <string_view>

#include "base/exceptions.h"
#include "base/safe_file.h"
#include "base/text.h"
#include "settings/ini_file.h"

namespace fk {

namespace {

constexpr std::string_view kWindow = "WindowPosition";
constexpr std::string_view kFile = "FileName";
constexpr std::string_view kFormat = "Format";
constexpr std::string_view kVideo = "VideoFormat";
constexpr std::string_view kShoot = "ShootSettings";
constexpr std::string_view kMasks = "Masks";
constexpr std::string_view kMaskPrefix = "Mask";
constexpr std::string_view kDesktop = "Desktop";
constexpr std::string_view kRegion = "Region";
constexpr std::string_view kBackend = "Wayland";

// Applies one key at a time; a failure is noted, naming the key and its section, and the next
// key follows.
class Loader {
public:
    Loader(const IniFile& ini) : m_ini(ini) {}

    template <class Apply>
    void text(std::string_view section, std::string_view key, std::string_view fallback,
              Apply&& apply) {
        step(section, key, [&] { apply(value(section, key, fallback)); });
    }
    // Only "0" is off; anything else, an empty text too, is on.
    template <class Apply>
    void flag(std::string_view section, std::string_view key, std::string_view fallback,
              Apply&& apply) {
        step(section, key, [&] { apply(value(section, key, fallback) != "0"); });
    }
    template <class Apply>
    void integer(std::string_view section, std::string_view key, std::string_view fallback,
                 Apply&& apply) {
        step(section, key, [&] { apply(StrToInt(value(section, key, fallback))); });
    }
    template <class Step>
    void step(std::string_view section, std::string_view key, Step&& apply) {
        try {
            apply();
        } catch (const Exception& e) {
            m_errors.push_back("[" + std::string(section) + "] " + std::string(key) + ": " +
                               e.what());
        }
    }

    std::vector<std::string> takeErrors() { return std::move(m_errors); }

private:
    std::string value(std::string_view section, std::string_view key, std::string_view fallback) {
        return m_ini.value(section, key).value_or(std::string(fallback));
    }

    const IniFile& m_ini;
    std::vector<std::string> m_errors;
};

std::string flagText(bool on) {
    return on ? "1" : "0";
}

}  // namespace

std::vector<std::string> LoadSettings(const IniFile& ini, SettingsControls& c) {
    Loader in(ini);
    in.integer(kWindow, "X", "0", [&](int x) { c.setWindowLeft(x); });
    in.integer(kWindow, "Y", "0", [&](int y) { c.setWindowTop(y); });
    in.flag(kWindow, "UseAlpha", "0", [&](bool on) { c.setUseAlpha(on); });
    in.flag(kWindow, "StartMinimazed", "0", [&](bool on) { c.setStartMinimized(on); });
    in.integer(kWindow, "Alpha", "255", [&](int level) { c.setAlpha(level); });
    in.text(kFile, "Path", "", [&](const std::string& path) { c.setFolder(path); });
    in.text(kMasks, "Last", "scr_###.jpg", [&](const std::string& mask) { c.setLastMask(mask); });
    in.step(kMasks, kMaskPrefix, [&] {
        std::vector<std::string> masks;
        for (auto& [key, value] : ini.entries(kMasks))
            if (std::string_view(key).substr(0, kMaskPrefix.size()) == kMaskPrefix)
                masks.push_back(std::move(value));
        c.setMasks(masks);
    });
    in.text(kFile, "Count", "0", [&](const std::string& text) { c.setCounterText(text); });
    in.integer(kFormat, "Type", "0", [&](int index) { c.setFormatIndex(index); });
    in.integer(kFormat, "JPEG_Quality", "80", [&](int quality) { c.setJpegQuality(quality); });
    in.integer(kFormat, "GIF_palette", "3", [&](int index) { c.setGifPalette(index); });
    in.integer(kVideo, "VideoType", "0", [&](int index) { c.setVideoType(index); });
    in.integer(kVideo, "GIFSpeed", "10", [&](int position) { c.setGifSpeed(position); });
    in.flag(kShoot, "UseDelay", "0", [&](bool on) { c.setUseDelay(on); });
    in.flag(kShoot, "CaptureCursor", "0", [&](bool on) { c.setCaptureCursor(on); });
    in.text(kShoot, "Delay", "0", [&](const std::string& text) { c.setDelayText(text); });
    in.text(kShoot, "Timer", "0", [&](const std::string& text) { c.setTimerText(text); });
    in.flag(kDesktop, "Notifications", "1", [&](bool on) { c.setNotifications(on); });
    in.flag(kDesktop, "Clipboard", "0", [&](bool on) { c.setCopyToClipboard(on); });
    in.flag(kDesktop, "WholeDesktop", "0", [&](bool on) { c.setWholeDesktop(on); });
    in.text(kRegion, "Last", "", [&](const std::string& text) { c.setLastRegion(text); });
    return in.takeErrors();
}

void SaveSettings(IniFile& ini, SettingsControls& c) {
    ini.setValue(kWindow, "X", std::to_string(c.windowLeft()));
    ini.setValue(kWindow, "Y", std::to_string(c.windowTop()));
    ini.setValue(kWindow, "Alpha", std::to_string(c.alpha()));
    ini.setValue(kWindow, "UseAlpha", flagText(c.useAlpha()));
    ini.setValue(kWindow, "StartMinimazed", flagText(c.startMinimized()));
    ini.setValue(kFile, "Path", c.folder());
    ini.setValue(kFile, "Count", c.counterText());
    ini.setValue(kFormat, "Type", std::to_string(c.formatIndex()));
    ini.setValue(kFormat, "JPEG_Quality", std::to_string(c.jpegQuality()));
    ini.setValue(kFormat, "GIF_palette", std::to_string(c.gifPalette()));
    ini.setValue(kVideo, "VideoType", std::to_string(c.videoType()));
    ini.setValue(kVideo, "GIFSpeed", std::to_string(c.gifSpeed()));
    ini.setValue(kShoot, "UseDelay", flagText(c.useDelay()));
    ini.setValue(kShoot, "CaptureCursor", flagText(c.captureCursor()));
    ini.setValue(kShoot, "Delay", c.delayText());
    ini.setValue(kShoot, "Timer", c.timerText());
    ini.setValue(kMasks, "Last", c.lastMask());
    ini.removeKeysWithPrefix(kMasks, kMaskPrefix);
    const std::vector<std::string> masks = c.masks();
    for (size_t i = 0; i < masks.size(); ++i)
        ini.appendValue(kMasks, std::string(kMaskPrefix) + std::to_string(i), masks[i]);
    ini.setValue(kDesktop, "Notifications", flagText(c.notifications()));
    // Written once used, so that the file of a user who never used them stays as it was.
    auto addition = [&ini](std::string_view section, std::string_view key, std::string value,
                           std::string_view unused) {
        if (value != unused || ini.value(section, key))
            ini.setValue(section, key, value);
    };
    addition(kDesktop, "Clipboard", flagText(c.copyToClipboard()), "0");
    addition(kDesktop, "WholeDesktop", flagText(c.wholeDesktop()), "0");
    addition(kRegion, "Last", c.lastRegion(), "");
}

namespace {

// The file as it is now, so that a write keeps what the program does not know.
IniFile fileToRewrite(const std::string& path) {
    try {
        if (auto existing = IniFile::loadFile(path))
            return std::move(*existing);
    } catch (const EReadError&) {
        throw EWriteError(formatMessage("Unable to write to %s", {path}));
    }
    return {};
}

}  // namespace

void SaveSettingsFile(const std::string& path, SettingsControls& controls) {
    IniFile ini = fileToRewrite(path);
    SaveSettings(ini, controls);
    writeFileSafely(path, ini.serialize(), formatMessage("Unable to write to %s", {path}));
}

void SaveRunningNumber(const std::string& path, std::string_view text) {
    IniFile ini = fileToRewrite(path);
    ini.setValue(kFile, "Count", text);
    writeFileSafely(path, ini.serialize(), formatMessage("Unable to write to %s", {path}));
}

namespace {

std::string loadValue(const std::string& path, std::string_view section, std::string_view key) {
    try {
        if (auto ini = IniFile::loadFile(path))
            return ini->value(section, key).value_or("");
    } catch (const EReadError&) {
    }
    return {};
}

void saveValue(const std::string& path, std::string_view section, std::string_view key,
               std::string_view value) {
    IniFile ini = fileToRewrite(path);
    if (ini.value(section, key).value_or("") == value)
        return;
    ini.setValue(section, key, value);
    writeFileSafely(path, ini.serialize(), formatMessage("Unable to write to %s", {path}));
}

}  // namespace

std::string LoadBackendValue(const std::string& path, std::string_view key) {
    return loadValue(path, kBackend, key);
}

void SaveBackendValue(const std::string& path, std::string_view key, std::string_view value) {
    saveValue(path, kBackend, key, value);
}

std::string LoadLanguage(const std::string& path) {
    return loadValue(path, kDesktop, "Language");
}

void SaveLanguage(const std::string& path, std::string_view language) {
    saveValue(path, kDesktop, "Language", language);
}

}  // namespace fk
