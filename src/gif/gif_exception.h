#pragma once

#include "base/exceptions.h"

namespace fk {

// Errors of the GIF encoder: its document, writer and colour reduction.
class GIFException : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

}  // namespace fk
