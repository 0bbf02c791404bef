#pragma once

#include <functional>
#include <string>
#include <utility>

#include "graphics/bitmap.h"

namespace fk::bench {

// The shared 1920x1080 pictures: "screen-1080p.bmp" and "photo-1080p.bmp".
std::string benchPicture(const std::string& name);
Bitmap loadBenchPicture(const std::string& name);

// Median wall time of `runs` calls, in milliseconds, after one warm-up call.
double medianMs(const std::function<void()>& work, int runs = 9);

// Median wall times of two pieces of work run in turns, `runs` times each after one warm-up call
// of each, so that a load that comes and goes on the machine weighs on both alike.
std::pair<double, double> medianPairMs(const std::function<void()>& ours,
                                       const std::function<void()>& anchor, int runs = 15);

// Prints one line: what, our time, the anchor's time, the ratio and the goal it is held to.
// Figures other than times give their unit.
void reportRatio(const std::string& what, double oursMs, const std::string& anchor, double anchorMs,
                 double goal, const char* unit = "ms");

// Writes `bytes` bytes to a new file and closes it: the floor for any file writer.
void plainWrite(const std::string& path, const void* data, size_t bytes);

std::string scratchFile(const std::string& name);

}  // namespace fk::bench
