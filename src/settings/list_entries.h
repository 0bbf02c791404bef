#pragma once

#include <string_view>

#include "capture/format_choice.h"

namespace fk {

// The entries of the format list (ComboBox1), in their order.
inline constexpr const char* kPictureFormatEntries[] = {"JPG", "BMP", "WMF", "PNG", "GIF", "TIF"};
// The entries of the video list (ComboBox3), in their order.
inline constexpr const char* kVideoEntries[] = {"GIF", "GIF (компактный)"};

// What the selected entry's text selects, compared case-sensitively; an empty text (nothing
// selected) and any other text select NotSelected.
PictureFormat pictureFormatOf(std::string_view entry);
VideoEntry videoEntryOf(std::string_view entry);

}  // namespace fk
