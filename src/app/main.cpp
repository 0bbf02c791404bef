#include <QApplication>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/bus_client.h"
#include "app/clipboard.h"
#include "app/cold_shot.h"
#include "app/command_line.h"
#include "app/program.h"

namespace {

// How long a command waits for the running copy; a copy busy writing a long video may need it.
int commandTimeoutMs() {
    if (const char* text = std::getenv("FOTOKRAN_COMMAND_TIMEOUT")) {
        const int seconds = std::atoi(text);
        if (seconds > 0)
            return seconds * 1000;
    }
    return 120 * 1000;
}

// A command for the running copy, handed over before anything of the toolkit is built. Returns
// the exit status, or none when no copy runs and the command is to run in this process.
std::optional<int> forward(const fk::CommandLine& line) {
    const fk::RemoteResult result = fk::callRunningCopy(line, commandTimeoutMs());
    switch (result.kind) {
        case fk::RemoteResult::Kind::Done:
            if (line.shot.output == "-") {
                std::cout.write(reinterpret_cast<const char*>(result.bytes.data()),
                                std::streamsize(result.bytes.size()));
                std::cout.flush();
                return std::cout ? 0 : 1;
            }
            if (!result.text.empty())
                std::cout << result.text << std::endl;
            return 0;
        case fk::RemoteResult::Kind::Failed:
            std::cerr << "fotokran: " << result.text << std::endl;
            return 1;
        case fk::RemoteResult::Kind::NoBus:
            std::cerr << "fotokran: there is no session D-Bus (" << result.text
                      << "); the command runs in this process" << std::endl;
            break;
        case fk::RemoteResult::Kind::NotRunning:
            break;
    }
    if (line.command == fk::Command::Quit) {
        std::cerr << "fotokran: no copy of Fotokran is running" << std::endl;
        return 0;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    // A process this program left in the background to hold a picture on the clipboard.
    if (fk::isClipboardHolder())
        return fk::runClipboardHolder(argc, argv);
    // Read before the toolkit starts: --help and --version need no display.
    fk::CommandLine line = fk::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.error.empty()) {
        std::cerr << "fotokran: " << line.error << "\n\n" << fk::usageText();
        return 2;
    }
    if (line.command == fk::Command::Help) {
        std::cout << fk::usageText();
        return 0;
    }
    if (line.command == fk::Command::Version) {
        std::cout << fk::versionText();
        return 0;
    }
    // The running copy may have another working folder.
    if (!line.shot.output.empty() && line.shot.output != "-")
        line.shot.output = std::filesystem::absolute(line.shot.output).lexically_normal().string();
    // A file size limit then fails the write like a full disk, instead of ending the program with
    // its settings unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    if (line.command != fk::Command::Start) {
        if (const std::optional<int> status = forward(line))
            return *status;
        if (const std::optional<int> status = fk::shootWithoutWindow(line, argc, argv))
            return *status;
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    return fk::runProgram(line);
}
