#include "app/command_line.h"

#include <array>
#include <utility>

namespace fk {

namespace {

struct Option {
    const char* word;
    Command command;
    const char* method;  // of the running copy's D-Bus interface
    const char* help;
};

constexpr std::array<Option, 8> kOptions{{
    {"--screen", Command::Screen, "Screen", "a picture of the whole screen; prints its path"},
    {"--window", Command::Window, "Window", "a picture of the window in front; prints its path"},
    {"--series", Command::Series, "Series", "starts or stops the timed series"},
    {"--video", Command::Video, "Video",
     "starts or stops the video; the stop prints the video's path once it is written"},
    {"--show", Command::Show, "Show", "shows the window of the running copy"},
    {"--quit", Command::Quit, "Quit", "ends the running copy as its close button does"},
    {"--help", Command::Help, "", "prints this text"},
    {"--version", Command::Version, "", "prints the version"},
}};

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& words) {
    CommandLine result;
    if (words.empty())
        return result;
    if (words.size() > 1) {
        result.error = "only one option at a time: '" + words[1] + "' is one too many";
        return result;
    }
    for (const Option& o : kOptions)
        if (words[0] == o.word) {
            result.command = o.command;
            return result;
        }
    result.error = "unknown option '" + words[0] + "'";
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
    text += "\nExit status: 0 done, 1 the command failed, 2 bad usage.\n";
    return text;
}

std::string versionText() {
    return "Fotokran 0.7\n";
}

const char* remoteMethod(Command command) {
    for (const Option& o : kOptions)
        if (o.command == command)
            return o.method;
    return "";
}

}  // namespace fk
