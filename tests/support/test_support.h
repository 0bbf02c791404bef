#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/bitmap.h"

namespace fk::test {

// A fresh folder under the system's temporary folder, removed with its content at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::vector<uint8_t> readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool fileExists(const std::string& path);
// The names in a folder, sorted; hidden ones included.
std::vector<std::string> fileNames(const std::string& folder);

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};
CommandResult runCommand(const std::string& command);
bool toolAvailable(const std::string& name);
std::string shellQuote(const std::string& text);

// The message of the exception `work` raises, "" when it raises none.
std::string thrownMessage(const std::function<void()>& work);

// Runs `work` in a child process whose files may not grow beyond `limitBytes` (a write past it
// fails with EFBIG, as on a full disk); returns the message of the exception it raised, "" when
// it raised none.
std::string runWithFileSizeLimit(uint64_t limitBytes, const std::function<void()>& work);

// The interpreter that has Pillow, and the folder of the test scripts.
std::string python();
std::string toolsDir();
// Folder of the shared benchmark pictures.
std::string benchDataDir();

// Every frame of a picture as Pillow decodes it (tests/tools/pillow_dump.py): as stored, colour
// indexes and palette in "P" mode, else RGB triples; or composed as a viewer shows it, RGB.
struct PillowFrame {
    int width = 0;
    int height = 0;
    std::string mode;
    std::vector<uint8_t> palette;
    std::vector<uint8_t> pixels;
    int durationMs = 0;
};
enum class PillowView { Stored, Composed };
// Fails the current test (and returns no frame) when Pillow refuses the file.
std::vector<PillowFrame> dumpWithPillow(const std::string& path, PillowView view);

// A picture as an independent decoder sees it: RGB, top row first.
struct DecodedImage {
    int width = 0;
    int height = 0;
    std::string mode;  // the decoder's name for the stored format, e.g. "P", "RGB", "1", "L"
    std::vector<Color> pixels;
    Color at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
// Decodes with Pillow; fails the current test (and returns an empty image) when it cannot.
DecodedImage decodeWithPillow(const std::string& path, int frame = 0);

// The bitmap's colours, top row first, as decodeWithPillow reports them.
std::vector<Color> pixelsOf(const Bitmap& bitmap);

// A deterministic picture with varied colours (and indexes for palette formats).
Bitmap makeTestPattern(int width, int height, PixelFormat format, uint32_t seed = 1);

}  // namespace fk::test
