#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fk {

class IniFile;

// The controls of the main window as the settings file sees them. Setters apply a value as a
// user's change would (a check box or track bar runs its action); `setFolder` throws when the
// folder cannot be selected.
class SettingsControls {
public:
    virtual ~SettingsControls() = default;

    virtual int windowLeft() = 0;
    virtual void setWindowLeft(int x) = 0;
    virtual int windowTop() = 0;
    virtual void setWindowTop(int y) = 0;
    virtual int alpha() = 0;
    virtual void setAlpha(int level) = 0;
    virtual bool useAlpha() = 0;
    virtual void setUseAlpha(bool on) = 0;
    virtual bool startMinimized() = 0;
    virtual void setStartMinimized(bool on) = 0;

    virtual std::string folder() = 0;
    // An empty path selects the default folder.
    virtual void setFolder(const std::string& path) = 0;
    virtual std::string counterText() = 0;
    virtual void setCounterText(const std::string& text) = 0;

    virtual int formatIndex() = 0;  // -1 when none is selected
    virtual void setFormatIndex(int index) = 0;
    virtual int jpegQuality() = 0;
    virtual void setJpegQuality(int quality) = 0;
    virtual int gifPalette() = 0;
    virtual void setGifPalette(int index) = 0;

    virtual int videoType() = 0;
    virtual void setVideoType(int index) = 0;
    virtual int gifSpeed() = 0;
    virtual void setGifSpeed(int position) = 0;

    virtual bool useDelay() = 0;
    virtual void setUseDelay(bool on) = 0;
    virtual bool captureCursor() = 0;
    virtual void setCaptureCursor(bool on) = 0;
    virtual std::string delayText() = 0;
    virtual void setDelayText(const std::string& text) = 0;
    virtual std::string timerText() = 0;
    virtual void setTimerText(const std::string& text) = 0;

    virtual std::string lastMask() = 0;
    virtual void setLastMask(const std::string& text) = 0;
    virtual std::vector<std::string> masks() = 0;
    // Fills the mask list without changing the mask's text.
    virtual void setMasks(const std::vector<std::string>& masks) = 0;

    // Desktop notifications of pictures taken while the window is hidden.
    virtual bool notifications() = 0;
    virtual void setNotifications(bool on) = 0;

    // The additions beyond the original program, off until the user turns them on. Their keys
    // are written only once they hold something or stand in the file already, so that the file
    // of a user who never used them stays as it was. Controls without them keep the defaults.
    // Every picture also on the clipboard.
    virtual bool copyToClipboard() { return false; }
    virtual void setCopyToClipboard(bool on) { (void)on; }
    // Screen pictures of the whole desktop instead of the primary monitor.
    virtual bool wholeDesktop() { return false; }
    virtual void setWholeDesktop(bool on) { (void)on; }
    // The last region taken, "X,Y,W,H"; empty before the first.
    virtual std::string lastRegion() { return {}; }
    virtual void setLastRegion(const std::string& region) { (void)region; }
};

// Applies every setting of the file to the controls, key by key in the file's fixed order. A key
// whose value is no valid integer, or a folder that cannot be selected, is skipped (the control
// keeps what it had) and loading goes on; the messages of the skipped keys are returned, each
// after its section and key ("[WindowPosition] X: '2147483648' is not a valid integer value").
std::vector<std::string> LoadSettings(const IniFile& ini, SettingsControls& controls);

// Writes every setting into the file, in the fixed order. The earlier mask list is removed first,
// so the list is written exactly once; every other key of the file stays.
void SaveSettings(IniFile& ini, SettingsControls& controls);

// Reads the file at `path` again (to keep what the program does not know), writes the settings
// into it and replaces the file safely. Throws EWriteError "Unable to write to %s".
void SaveSettingsFile(const std::string& path, SettingsControls& controls);

// Writes only the running number into the file at `path`, keeping everything else in it.
// Throws EWriteError "Unable to write to %s".
void SaveRunningNumber(const std::string& path, std::string_view text);

// A value the display backend keeps between runs (the desktop's permission to share the screen),
// in section "Wayland" of the file at `path`; empty when there is none or the file cannot be read.
std::string LoadBackendValue(const std::string& path, std::string_view key);
// Writes that value into the file, keeping everything else in it. Throws EWriteError
// "Unable to write to %s".
void SaveBackendValue(const std::string& path, std::string_view key, std::string_view value);

// The interface's language the user chose ([Desktop] Language); empty when none was chosen or the
// file cannot be read.
std::string LoadLanguage(const std::string& path);
// Writes the user's choice into the file, keeping everything else in it. Throws EWriteError
// "Unable to write to %s".
void SaveLanguage(const std::string& path, std::string_view language);

}  // namespace fk
