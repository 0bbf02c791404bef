#pragma once

#include "base/exceptions.h"

namespace fk {

// Errors of the PNG writer; each derives straight from the program's base error.
class EPngError : public Exception {
public:
    using Exception::Exception;
};

class EPNGHeaderNotPresent : public Exception {
public:
    using Exception::Exception;
};

inline constexpr const char* kMsgHeaderNotPresent =
    "This operation is not valid because the current image contains no valid header.";
inline constexpr const char* kMsgIncompatibleChunks =
    "The chunks must be compatible to be assigned.";
inline constexpr const char* kMsgNoPaletteEntry = "There is no such palette entry.";

}  // namespace fk
