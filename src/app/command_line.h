#pragma once

#include <string>
#include <vector>

namespace fk {

// What the program was asked to do on its command line.
enum class Command { Start, Screen, Window, Series, Video, Show, Quit, Help, Version, Region };

// What a picture's command may add: the region's word, the whole desktop, the clipboard.
struct ShotOptions {
    std::string region;  // after --region: empty (chosen on the screen), "last" or "X,Y,W,H"
    bool allMonitors = false;
    bool clipboard = false;
    bool any() const { return !region.empty() || allMonitors || clipboard; }
};

struct CommandLine {
    Command command = Command::Start;
    ShotOptions shot;
    std::string error;  // bad usage: unknown option or extra words
};

// The words after the program's name: at most one command, with the options that go with it.
CommandLine parseCommandLine(const std::vector<std::string>& words);
// The text of --help.
std::string usageText();
std::string versionText();

// The running copy's method for a command that it can run; empty for Start, Help and Version.
const char* remoteMethod(Command command);
// The method for a picture's command with options, beside the plain ones: "Region",
// "ScreenWith" or "WindowWith".
const char* remoteShotMethod(Command command);

}  // namespace fk
