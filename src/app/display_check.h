#pragma once

#include <optional>
#include <string>

namespace fk {

// Why the program cannot work on the display the toolkit has opened (one of fewer than 15 bits a
// pixel, where the toolkit cannot paint), naming the display and its depth; nothing when it can.
std::optional<std::string> unusableDisplay();

}  // namespace fk
