#pragma once

#include <string>

#include "capture/format_choice.h"
#include "capture/png_copy.h"

namespace fk {

// The settings of one save, read from the main window's controls at the moment of use.
struct SaveOptions {
    PictureFormat format = PictureFormat::NotSelected;  // what the format list selects
    int jpegQuality = 100;                              // quality scroll bar position, 0..100
    int gifPalette = 3;       // palette list index, -1 when none is selected
    std::string folder;       // the selected folder
    std::string mask;         // the file-name mask
    std::string counterText;  // the running number's text as shown
    std::string outputFile;   // when set, the file to write instead of the mask's
};

// What the shots read from and write to the main window.
class CaptureHost {
public:
    virtual ~CaptureHost() = default;
    virtual SaveOptions saveOptions() = 0;
    virtual bool captureCursor() = 0;
    virtual bool delayedShoot() = 0;
    virtual std::string shotDelayText() = 0;
    virtual void setShotDelayText(const std::string& text) = 0;
    virtual std::string runningNumberText() = 0;
    virtual void setRunningNumberText(const std::string& text) = 0;
    // A picture or video has been written to this path.
    virtual void pictureSaved(const std::string& path) { (void)path; }
    // A shot wrote no file because no output format is selected.
    virtual void noFormatSelected() {}

    // The additions beyond the original program; a host that leaves them has none of them.
    // While the shot delay waits: the seconds left, each time the number changes; 0 once the
    // wait is over, cancelled or unwound.
    virtual void shotDelayCountdown(int secondsLeft) { (void)secondsLeft; }
    // Whether each picture is also wanted as a PNG (for the clipboard)...
    virtual bool wantsPngCopy() { return false; }
    // ... which then comes after pictureSaved, with the path of the saved file; the bytes may
    // still be in the making.
    virtual void pngCopyMade(const std::string& path, PngBytes png) {
        (void)path;
        (void)png;
    }
};

}  // namespace fk
