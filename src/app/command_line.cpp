#include "app/command_line.h"

#include <array>
#include <utility>

#include "capture/region.h"

namespace fk {

namespace {

struct Option {
    const char* word;
    Command command;
    const char* method;  // of the running copy's D-Bus interface
    const char* help;
};

constexpr std::array<Option, 9> kOptions{{
    {"--screen", Command::Screen, "Screen", "a picture of the whole screen; prints its path"},
    {"--window", Command::Window, "Window", "a picture of the window in front; prints its path"},
    {"--region", Command::Region, "Region",
     "a picture of a region chosen on the screen, or of X,Y,W,H (pixels), or of the last one\n"
     "              (--region last); prints its path"},
    {"--series", Command::Series, "Series", "starts or stops the timed series"},
    {"--video", Command::Video, "Video",
     "starts or stops the video; the stop prints the video's path once it is written"},
    {"--show", Command::Show, "Show", "shows the window of the running copy"},
    {"--quit", Command::Quit, "Quit", "ends the running copy as its close button does"},
    {"--help", Command::Help, "", "prints this text"},
    {"--version", Command::Version, "", "prints the version"},
}};

}  // namespace

namespace {

// The options that go with a picture's command.
bool shotOption(const std::string& word, ShotOptions& shot) {
    if (word == "--clipboard")
        shot.clipboard = true;
    else if (word == "--all-monitors")
        shot.allMonitors = true;
    else
        return false;
    return true;
}

std::string checkShotOptions(const CommandLine& line) {
    const ShotOptions& s = line.shot;
    if (s.clipboard && line.command != Command::Screen && line.command != Command::Window &&
        line.command != Command::Region)
        return "--clipboard goes with --screen, --window or --region";
    if (s.allMonitors && line.command != Command::Screen)
        return "--all-monitors goes with --screen";
    if (!s.region.empty() && s.region != "last" && !parseRegion(s.region))
        return "'" + s.region + "' is no region: give X,Y,W,H in pixels, or last";
    return {};
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& words) {
    CommandLine result;
    bool commandGiven = false;
    for (size_t i = 0; i < words.size(); ++i) {
        if (shotOption(words[i], result.shot))
            continue;
        if (commandGiven) {
            result.error = "only one option at a time: '" + words[i] + "' is one too many";
            return result;
        }
        const Option* found = nullptr;
        for (const Option& o : kOptions)
            if (words[i] == o.word)
                found = &o;
        if (!found) {
            result.error = "unknown option '" + words[i] + "'";
            return result;
        }
        result.command = found->command;
        commandGiven = true;
        // The region's word, when one follows.
        if (result.command == Command::Region && i + 1 < words.size() &&
            words[i + 1].rfind("--", 0) != 0)
            result.shot.region = words[++i];
    }
    result.error = checkShotOptions(result);
    return result;
}

std::string usageText() {
    std::string text =
        "Usage: fotokran [OPTION]\n"
        "Screenshots and GIF screen recordings. Without an option the program starts (or the\n"
        "running copy's window comes forward). An option is handed to the copy running in this\n"
        "session and runs there as its hot key would; with none running, --screen and --window\n"
        "take the picture with the stored settings and end, the others start the program.\n\n";
    for (const Option& o : kOptions) {
        std::string word = o.word;
        word.resize(12, ' ');
        text += "  " + word + o.help + "\n";
    }
    text +=
        "\nWith --screen, --window or --region:\n"
        "  --clipboard   puts the picture also on the clipboard (image/png and the file's\n"
        "                text/uri-list). With no copy of Fotokran running, the command returns\n"
        "                once the picture is written and leaves a process in the background that\n"
        "                holds the clipboard until another program takes it (as xclip does).\n"
        "With --screen:\n"
        "  --all-monitors  the whole desktop across every monitor instead of the primary one.\n";
    text += "\nExit status: 0 done, 1 the command failed, 2 bad usage.\n";
    return text;
}

std::string versionText() {
    return "Fotokran 0.7\n";
}

const char* remoteShotMethod(Command command) {
    switch (command) {
        case Command::Region:
            return "Region";
        case Command::Screen:
            return "ScreenWith";
        case Command::Window:
            return "WindowWith";
        default:
            return "";
    }
}

const char* remoteMethod(Command command) {
    for (const Option& o : kOptions)
        if (o.command == command)
            return o.method;
    return "";
}

}  // namespace fk
