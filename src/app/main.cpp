#include <QApplication>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "app/clipboard.h"
#include "app/command_line.h"
#include "app/program.h"

int main(int argc, char** argv) {
    // A process this program left in the background to hold a picture on the clipboard.
    if (fk::isClipboardHolder())
        return fk::runClipboardHolder(argc, argv);
    // Read before the toolkit starts: --help and --version need no display.
    const fk::CommandLine line =
        fk::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
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
    // A file size limit then fails the write like a full disk, instead of ending the program with
    // its settings unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    return fk::runProgram(line);
}
