#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "gif/gif_exception.h"

namespace fk {

enum TGIFEncoderKind : uint8_t { ekLZW = 0, ekRLE = 1 };

enum TGIFSeverity : uint8_t { gsInfo, gsWarning, gsError };

enum TProgressStage : uint8_t { psStarting, psRunning, psEnding };

// Common base of the document's parts, so that a warning can name whoever reported it.
class TGIFPersistent {
public:
    virtual ~TGIFPersistent() = default;
};

class TGIFImage;

using TGIFWarningEvent =
    std::function<void(TGIFPersistent* sender, TGIFSeverity severity, const std::string& message)>;
using TGIFProgressEvent = std::function<void(TGIFImage* sender, TProgressStage stage, int percent,
                                             const std::string& message)>;

// n * 100 / total, rounded to the nearest whole percent.
inline int percentOf(int64_t n, int64_t total) {
    return total <= 0 ? 0 : int((n * 200 + total) / (total * 2));
}

}  // namespace fk
