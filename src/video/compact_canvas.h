#pragma once

#include <cstdint>
#include <vector>

#include "gif/changed_frame.h"

namespace fk {

// What a compact video shows, kept beside what the screen showed: the colours its frames wrote
// (their indexes in the colours of their tables) and the screen's pixels as the frames carried
// them. A pixel shown further from the screen's colour than its palette allows waits to be
// repaired, by a frame of its own written after a later frame unless that frame covers it anyway.
class CompactCanvas {
public:
    // Levels (on any channel) a pixel may be off; one of the rare colours that share entries is
    // off by the palette's own error, up to the second figure.
    static constexpr int kAllowedLevels = 12;
    static constexpr int kAllowedLooseLevels = 64;

    // Frame `serial` (counted from 1, repairs taking the serial of the frame they follow) was
    // written: its rectangle of the screen and its pixels as written. Grows to hold them.
    void draw(const ChangedRect& rect, const FramePixels& written, int serial);
    // The pixels that frames up to `serial` left off-colour, as a rectangle of the screen whose
    // other pixels are unchanged; empty when there are none.
    ChangedRect repairsUpTo(int serial);

private:
    void grow(int width, int height);

    int m_width = 0;
    int m_height = 0;
    std::vector<uint32_t> m_shown;    // 0x00RRGGBB
    std::vector<uint32_t> m_screen;   // blue, green, red bytes as the screen's pixels
    std::vector<int32_t> m_offSince;  // serial of the frame that left the pixel off, 0 if none
    // Bounds of the off-colour pixels (may be loose).
    int m_left = 0, m_top = 0, m_right = -1, m_bottom = -1;
};

}  // namespace fk
