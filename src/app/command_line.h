#pragma once

#include <string>
#include <vector>

namespace fk {

// What the program was asked to do on its command line.
enum class Command { Start, Screen, Window, Series, Video, Show, Quit, Help, Version };

struct CommandLine {
    Command command = Command::Start;
    std::string error;  // bad usage: unknown option or extra words
};

// The words after the program's name; at most one option.
CommandLine parseCommandLine(const std::vector<std::string>& words);
// The text of --help.
std::string usageText();
std::string versionText();

// The running copy's method for a command that it can run; empty for Start, Help and Version.
const char* remoteMethod(Command command);

}  // namespace fk
