#pragma once

#include <string>

namespace fk {

class Bitmap;
class Stream;

enum class MetafileKind { Placeable, Enhanced };

// Placeable Windows metafiles for names ending in ".wmf" (any case), enhanced ones otherwise.
MetafileKind metafileKindForName(const std::string& path);

// A metafile the size of the bitmap whose one drawing record is the picture as a 24-bit DIB.
void writeMetafile(const Bitmap& picture, Stream& out, MetafileKind kind);
void saveMetafileToFile(const std::string& path, const Bitmap& picture);

}  // namespace fk
