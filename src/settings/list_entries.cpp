#include "settings/list_entries.h"

#include <cstddef>
#include <iterator>

namespace fk {

PictureFormat pictureFormatOf(std::string_view entry) {
    constexpr PictureFormat kFormats[] = {PictureFormat::Jpeg, PictureFormat::Bmp,
                                          PictureFormat::Wmf,  PictureFormat::Png,
                                          PictureFormat::Gif,  PictureFormat::Tiff};
    static_assert(std::size(kFormats) == std::size(kPictureFormatEntries));
    for (size_t i = 0; i < std::size(kFormats); ++i)
        if (entry == kPictureFormatEntries[i])
            return kFormats[i];
    return PictureFormat::NotSelected;
}

VideoEntry videoEntryOf(std::string_view entry) {
    if (entry == kVideoEntries[0])
        return VideoEntry::Whole;
    if (entry == kVideoEntries[1])
        return VideoEntry::Compact;
    return VideoEntry::NotSelected;
}

}  // namespace fk
