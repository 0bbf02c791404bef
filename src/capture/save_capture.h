#pragma once

#include "capture/capture_host.h"

namespace fk {

class Bitmap;

// Writes one shot in the selected format to the file the naming rules give; with no format
// selected writes nothing. The bitmap may be converted in place by the encoder.
void SaveCapture(Bitmap& bitmap, const SaveOptions& options);

}  // namespace fk
