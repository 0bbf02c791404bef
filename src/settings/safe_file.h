#pragma once

#include <string>
#include <string_view>

namespace fk {

// Whether the program may write the file (or, when it does not exist, create it in its folder).
// A file or folder without any write permission bit counts as read-only even for the superuser.
bool isWritableLocation(const std::string& path);

// Replaces the file's content all at once: the bytes go to a temporary file beside it, which is
// then renamed over the file, so a failure (a full disk, say) leaves the old file whole. Missing
// folders are made; an existing file keeps its permissions, a symbolic link keeps pointing at the
// file. A read-only file or folder is not written. Any failure throws EWriteError(errorMessage).
void writeFileSafely(const std::string& path, std::string_view bytes,
                     const std::string& errorMessage);

}  // namespace fk
