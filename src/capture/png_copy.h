#pragma once

#include <cstdint>
#include <future>
#include <string>
#include <vector>

#include "capture/format_choice.h"

namespace fk {

class Bitmap;

// A PNG of a picture for other programs (the clipboard), made while the picture's own file is
// written, so that it is ready about when the file is: encoded from a copy of the bitmap on a
// thread of its own at zlib's fastest level, or, when the file is itself a PNG, read back from
// the file.
using PngBytes = std::shared_future<std::vector<uint8_t>>;

class PngCopy {
public:
    PngCopy(const Bitmap& picture, PictureFormat savedAs);
    // Waits for an encoding that was never asked for, if it still runs.
    ~PngCopy();
    PngCopy(const PngCopy&) = delete;
    PngCopy& operator=(const PngCopy&) = delete;

    // The PNG's bytes once the picture has been saved at `savedPath`: at once when they are the
    // file's, else when the encoding ends. They throw what encoding or reading threw.
    PngBytes take(const std::string& savedPath);

private:
    std::future<std::vector<uint8_t>> m_encoded;  // not valid when the file is read back
};

}  // namespace fk
