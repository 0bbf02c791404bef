#pragma once

// The texts of the GIF code's errors, warnings and progress reports, exactly as the user sees them.
namespace fk::gif_text {

inline constexpr const char* kUnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* kColorNotInTable = "Color not in color table";
inline constexpr const char* kColorTableOverflow = "Color table overflow";
inline constexpr const char* kInvalidColorIndex = "Invalid color index";
inline constexpr const char* kColorTableEmpty = "Color table is empty";
inline constexpr const char* kWidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* kHeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* kExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* kInvalidStreamOperation = "Invalid stream operation";
inline constexpr const char* kUnsupportedObject = "Object type not supported for operation";
inline constexpr const char* kInvalidDimensions = "Invalid image dimensions";

inline constexpr const char* kSaving = "Saving...";
inline constexpr const char* kConverting = "Converting...";
inline constexpr const char* kCopying = "Copying...";

}  // namespace fk::gif_text
