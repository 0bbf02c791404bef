#pragma once

#include <cstdint>
#include <string>

#include "capture/format_choice.h"

namespace fk {

// folder + "/" + the mask with its first run of '#' replaced by the running number's text,
// padded with zeros in front to the run's length.
std::string BuildFileName(const std::string& folder, const std::string& mask,
                          const std::string& counterText);
// folder + "/video_" + the running number's value, + ".gif" when a video entry is selected.
// Advances the running number.
std::string BuildVideoFileName(const std::string& folder, std::string& counterText,
                               VideoEntry entry);

// The running number's value: its text as a signed 32-bit integer, 0 when it is none.
int32_t RunningNumberValue(const std::string& counterText);
// The text after adding 1; the top of the signed 32-bit range wraps to the bottom.
std::string AdvanceRunningNumber(const std::string& counterText);
// The mask with its extension replaced by "." + the format entry in lower case.
std::string RewriteMaskExtension(const std::string& mask, const std::string& formatEntry);

}  // namespace fk
