#pragma once

#include "app/command_line.h"

namespace fk {

// Runs the program for a command of its command line inside a running QApplication and returns
// the exit status: hands the command to the copy already running in this session, or runs it
// here (a picture taken and the program ended, or the program started).
int runProgram(const CommandLine& line);

}  // namespace fk
