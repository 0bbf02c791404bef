#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/capture_host.h"

namespace fk {

class Bitmap;
class TGIFImage;

// Writes one shot in the selected format to the file the naming rules give; with no format
// selected writes nothing. The bitmap is handed over: an encoder may convert it in place or take
// its pixels, so its content is undefined afterwards. Returns the written file's path, empty when
// nothing was written. A missing folder (checkOutputFolder) or a mask holding a control byte
// ("Cannot create file "%s". %s") writes nothing.
std::string SaveCapture(Bitmap& bitmap, const SaveOptions& options);
// The bytes SaveCapture would write, kept in memory; empty with no format selected.
std::vector<uint8_t> EncodeCapture(Bitmap& bitmap, const SaveOptions& options);

// Throws EFCreateError ("Cannot create file "%s". %s", naming `file` and the folder) when the
// folder chosen for it is gone: a folder that vanished is never silently replaced by another.
void checkOutputFolder(const std::string& folder, const std::string& file);

// Sets the document's palette and dithering from the GIF palette list's index (shots and video
// use the same table); -1 or an unknown index leaves the document's defaults.
void applyGifPalette(TGIFImage& gif, int paletteIndex);

}  // namespace fk
