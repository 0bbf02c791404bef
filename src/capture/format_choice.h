#pragma once

namespace fk {

// What the main window's format lists select, as the shots and the video take it. The lists'
// entries, and which of them selects what, belong to the settings (settings/list_entries.h).

// The format of still pictures; with no entry selected a shot writes nothing.
enum class PictureFormat { NotSelected, Jpeg, Bmp, Wmf, Png, Gif, Tiff };

// The way a video is made: Whole keeps every grab whole until the stop, Compact only what
// changed, encoded while recording. With no entry selected the video is made of whole frames,
// and its name gets no extension.
enum class VideoEntry { NotSelected, Whole, Compact };

}  // namespace fk
