#pragma once

#include "base/exceptions.h"

namespace fk {

// The display could not give a picture (no display, a vanished window, a refused request).
class EGrabError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace fk
