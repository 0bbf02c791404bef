#pragma once

#include <string>
#include <vector>

#include "capture/capture.h"
#include "capture/format_choice.h"

namespace fk {

// What the program was asked to do on its command line.
enum class Command { Start, Screen, Window, Series, Video, Show, Quit, Help, Version, Region };

// What a picture's command may add: the region's word, the whole desktop, the clipboard, its
// own file, format and delay.
struct ShotOptions {
    std::string region;  // after --region: empty (chosen on the screen), "last" or "X,Y,W,H"
    bool allMonitors = false;
    bool clipboard = false;
    std::string output;  // --output: an absolute path, or "-" for standard output
    PictureFormat format = PictureFormat::NotSelected;  // --format, or the output's extension
    int delaySeconds = -1;                              // --delay; -1: the stored delay
    bool any() const {
        return !region.empty() || allMonitors || clipboard || !output.empty() ||
               format != PictureFormat::NotSelected || delaySeconds >= 0;
    }
};

struct CommandLine {
    Command command = Command::Start;
    ShotOptions shot;
    std::string language;  // --lang for this run: "en" or "ru"; empty: the stored one
    std::string error;     // bad usage: unknown option or extra words
};

// The words after the program's name: at most one command, with the options that go with it.
CommandLine parseCommandLine(const std::vector<std::string>& words);
// The text of --help.
std::string usageText();
std::string versionText();

// Why a picture command wrote nothing, as the command line and the running copy answer.
const char* nothingWritten(Command command);
// The running copy's method for a command that it can run; empty for Start, Help and Version.
const char* remoteMethod(Command command);
// The format a file name's extension asks for (jpg, jpeg, bmp, wmf, png, gif, tif, tiff, in any
// case); NotSelected for any other.
PictureFormat formatOfName(const std::string& name);
// The word --format takes for the format ("jpg", "png", ...); empty for NotSelected.
std::string formatWord(PictureFormat format);
// What the options ask of the picture, for shots named from `mask` (whose extension follows
// --format).
ShotRequest shotRequestOf(const ShotOptions& options, const std::string& mask);

}  // namespace fk
