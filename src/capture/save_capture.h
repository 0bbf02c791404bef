#pragma once

#include "capture/capture_host.h"

namespace fk {

class Bitmap;

// Writes one shot in the selected format to the file the naming rules give; with no format
// selected writes nothing. The bitmap is handed over: an encoder may convert it in place or take
// its pixels, so its content is undefined afterwards.
void SaveCapture(Bitmap& bitmap, const SaveOptions& options);

}  // namespace fk
