// Any bytes as config.ini: the reader keeps every line (line breaks aside), loading never fails
// as a whole, and after the program's save a reload reads back exactly what was saved.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/exceptions.h"
#include "fuzz/fuzz_input.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"

namespace {

struct Values {
    int left = 0, top = 0, alpha = 0, format = 0, quality = 0, palette = 0, videoType = 0,
        speed = 0;
    bool useAlpha = false, minimized = false, useDelay = false, cursor = false,
         notifications = false;
    std::string folder, counter, delay, timer, lastMask;
    std::vector<std::string> masks;
    bool operator==(const Values&) const = default;
};

// Controls that keep whatever they are given.
class Controls final : public fk::SettingsControls {
public:
    Values v;
    int windowLeft() override { return v.left; }
    void setWindowLeft(int x) override { v.left = x; }
    int windowTop() override { return v.top; }
    void setWindowTop(int y) override { v.top = y; }
    int alpha() override { return v.alpha; }
    void setAlpha(int level) override { v.alpha = level; }
    bool useAlpha() override { return v.useAlpha; }
    void setUseAlpha(bool on) override { v.useAlpha = on; }
    bool startMinimized() override { return v.minimized; }
    void setStartMinimized(bool on) override { v.minimized = on; }
    std::string folder() override { return v.folder; }
    void setFolder(const std::string& path) override { v.folder = path; }
    std::string counterText() override { return v.counter; }
    void setCounterText(const std::string& text) override { v.counter = text; }
    int formatIndex() override { return v.format; }
    void setFormatIndex(int index) override { v.format = index; }
    int jpegQuality() override { return v.quality; }
    void setJpegQuality(int quality) override { v.quality = quality; }
    int gifPalette() override { return v.palette; }
    void setGifPalette(int index) override { v.palette = index; }
    int videoType() override { return v.videoType; }
    void setVideoType(int index) override { v.videoType = index; }
    int gifSpeed() override { return v.speed; }
    void setGifSpeed(int position) override { v.speed = position; }
    bool useDelay() override { return v.useDelay; }
    void setUseDelay(bool on) override { v.useDelay = on; }
    bool captureCursor() override { return v.cursor; }
    void setCaptureCursor(bool on) override { v.cursor = on; }
    std::string delayText() override { return v.delay; }
    void setDelayText(const std::string& text) override { v.delay = text; }
    std::string timerText() override { return v.timer; }
    void setTimerText(const std::string& text) override { v.timer = text; }
    std::string lastMask() override { return v.lastMask; }
    void setLastMask(const std::string& text) override { v.lastMask = text; }
    std::vector<std::string> masks() override { return v.masks; }
    void setMasks(const std::vector<std::string>& masks) override { v.masks = masks; }
    bool notifications() override { return v.notifications; }
    void setNotifications(bool on) override { v.notifications = on; }
};

// What a text becomes in the file: one line, and no blanks at either end.
std::string asStored(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n')
            c = ' ';
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The file as the reader keeps it: no byte-order mark, lines without their '\r', each ended by
// one '\n'.
std::string asKept(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    std::string out;
    while (!bytes.empty()) {
        size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out.append(line);
        out += '\n';
    }
    return out;
}

const std::string& configPath() {
    static const std::string path = [] {
        const std::filesystem::path shm = "/dev/shm";
        const auto base =
            std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
        const auto folder = base / ("fotokran-ini-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        static const std::filesystem::path made = folder;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);
        });
        return (folder / "config.ini").string();
    }();
    return path;
}

Values load(const std::string& path) {
    Controls c;
    const std::optional<fk::IniFile> ini = fk::IniFile::loadFile(path);
    FUZZ_CHECK(ini.has_value(), "config.ini vanished");
    fk::LoadSettings(*ini, c);
    return c.v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(fk::IniFile::parse(bytes).serialize() == asKept(bytes), "lines were not kept");

    const std::string& path = configPath();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), std::streamsize(size));
    Controls first;
    first.v = load(path);
    fk::SaveSettingsFile(path, first);
    const Values saved = load(path);

    Values want = first.v;
    for (std::string* s : {&want.folder, &want.counter, &want.delay, &want.timer, &want.lastMask})
        *s = asStored(*s);
    for (std::string& m : want.masks)
        m = asStored(m);
    FUZZ_CHECK(saved == want, "a reload differs from what was saved");

    // A second save of the same settings changes nothing but what any read evens out.
    Controls again;
    again.v = saved;
    std::ifstream before(path, std::ios::binary);
    const std::string once{std::istreambuf_iterator<char>(before), {}};
    fk::SaveSettingsFile(path, again);
    std::ifstream after(path, std::ios::binary);
    FUZZ_CHECK(asKept(once) == std::string(std::istreambuf_iterator<char>(after), {}),
               "a second save of the same settings changed the file");
    return 0;
}
