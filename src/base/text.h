#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace fk {

// Strict decimal integers: an optional '+' or '-', ASCII digits, within the signed 32-bit range.
std::optional<int32_t> tryStrToInt(const std::string& text);
// As tryStrToInt; anything else throws EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(const std::string& text);

std::string toLowerAscii(std::string text);

}  // namespace fk
