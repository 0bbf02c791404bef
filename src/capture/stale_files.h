#pragma once

#include <chrono>
#include <string>

namespace fk {

// How old a temporary file must be before a later start takes it for a leftover when it cannot
// tell whether its maker still runs (a file system without locks).
inline constexpr std::chrono::hours kStaleTemporaryAge{24};

// Whether a name is one the program gives its temporary files: a file that is to replace another
// (".shot_000.bmp.Xa3kP0.part") or the frames of a video ("video_7.gif.tmp",
// "video_7.gif.Xa3kP0.tmp").
bool isTemporaryFileName(const std::string& name);

// Removes the leftovers in `folder`: files named as isTemporaryFileName says, ours (regular files
// of this user with no other name), and locked by no running copy (every copy holds a lock on the
// temporary files it has open, in this session or another). Where no lock can be tried, a file
// last changed more than kStaleTemporaryAge before `now` goes. Links are neither followed nor
// removed, and subfolders are not looked into. Returns how many were removed; a folder that
// cannot be read has none.
int removeStaleTemporaryFiles(const std::string& folder, std::chrono::system_clock::time_point now);

}  // namespace fk
