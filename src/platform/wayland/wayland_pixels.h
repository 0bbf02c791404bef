#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/bitmap.h"

namespace fk {

// How the compositor laid out a copied frame.
struct FrameLayout {
    uint32_t format = 0;  // wl_shm format code
    int width = 0;
    int height = 0;
    int stride = 0;
    bool yInverted = false;  // bottom row first
};

// Whether the program reads this wl_shm format: 32-bit pixels with blue first (XRGB8888,
// ARGB8888) or red first (XBGR8888, ABGR8888).
bool readableFormat(uint32_t format);
// Blue, green, red in memory order: the rows can be the bitmap's own without any change.
bool deviceOrderFormat(uint32_t format);

// Puts the frame's pixels into the device order in place (blue, green, red) where the format
// has red first. Rows stay where they are.
void toDeviceOrder(uint8_t* data, const FrameLayout& layout);

// Copies the frame into `into` (Device format) with its top left at (dx, dy) of it, clipped,
// top row first whatever the frame's order, as blue, green, red, 0.
void copyFrame(const uint8_t* data, const FrameLayout& layout, Bitmap& into, int dx, int dy);

}  // namespace fk
