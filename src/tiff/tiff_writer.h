#pragma once

#include <string>

#include "base/stream.h"
#include "graphics/bitmap.h"

namespace fk {

// Writes the bitmap as an uncompressed little-endian TIFF, at the stream's position, at its own
// depth: a black-and-white 1-bit picture as a bilevel image, other 1-bit and all 4- and 8-bit
// pictures as palette images, every deeper format as 8-bit RGB. An empty bitmap writes nothing.
// Stream errors pass through; the directory offset in the header is stored last, so a file cut
// short by a failed write never points at a directory.
void WriteTiff(Stream& out, const Bitmap& bitmap);

// Creates (or truncates) the file, writes the TIFF into it and closes it.
void SaveTiffFile(const std::string& path, const Bitmap& bitmap);

}  // namespace fk
