#pragma once

#include <string>
#include <string_view>

namespace fk {

bool isValidUtf8(std::string_view bytes);
// Windows-1251 bytes as UTF-8.
std::string cp1251ToUtf8(std::string_view bytes);
// A text read from the settings file: kept when it is valid UTF-8, else read as Windows-1251
// (a file written by the Windows program).
std::string decodeSettingsText(std::string_view bytes);

}  // namespace fk
