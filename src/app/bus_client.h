#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"

namespace fk {

// The names of the running copy on the session bus.
inline constexpr const char* kBusService = "org.fotokran.Fotokran";
inline constexpr const char* kBusPath = "/org/fotokran/Fotokran";
inline constexpr const char* kBusInterface = "org.fotokran.Fotokran";
inline constexpr const char* kFailedError = "org.fotokran.Fotokran.Error.Failed";

// What became of a command handed to the running copy.
struct RemoteResult {
    enum class Kind { NoBus, NotRunning, Done, Failed } kind;
    std::string text;            // the answer, the error, or why there is no bus
    std::vector<uint8_t> bytes;  // the picture, when it was asked for on standard output
};

// Hands the command to the copy running in this user's session and waits for its answer for at
// most `timeoutMs`. Builds nothing of the toolkit: a command line that only forwards costs a
// process start and one call.
RemoteResult callRunningCopy(const CommandLine& line, int timeoutMs);

// Hands a note without actions to the desktop's notification service, waiting for no answer;
// `file` (may be empty) is the picture the note shows. False when there is no session bus.
bool notifyOnce(const std::string& summary, const std::string& body, const std::string& file);

}  // namespace fk
