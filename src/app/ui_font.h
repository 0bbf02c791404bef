#pragma once

#include <QFont>

namespace fk {

// The system's sans font at the pixel size that fits every caption into the fixed layouts.
inline constexpr int kUiFontPixels = 10;
QFont uiFont();

}  // namespace fk
