#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "graphics/bitmap.h"

namespace fk::bench {

// How close a picture shown is to the screen it stands for.
struct Likeness {
    double psnr = 0;            // dB, over the three channels
    double meanDifference = 0;  // levels per channel
    int stale = 0;  // the screen shows the desktop colour, the picture is > 30 levels away
};

// Screens kept during a recording with the moment of each (ms from the first grab), in a file.
class GrabLog {
public:
    explicit GrabLog(std::string path);
    ~GrabLog();
    GrabLog(const GrabLog&) = delete;
    GrabLog& operator=(const GrabLog&) = delete;
    void keep(const Bitmap& screen, int64_t ms);
    int count() const { return m_count; }
    // Screen `i` into `into` (32 bits per pixel); returns its moment.
    int64_t read(int i, Bitmap& into);

private:
    std::string m_path;
    std::FILE* m_file = nullptr;
    int m_count = 0;
    int m_width = 0, m_height = 0;
    std::vector<int64_t> m_moments;
};

// One recorder's run on the scene.
struct Outcome {
    std::string file;
    std::string note;  // why there is no figure
    uint64_t bytes = 0;
    double finishMs = 0;  // from the stop to the complete file
    double cpuMs = 0;
    long peakKb = 0;
    Bitmap finalScreen;
    Likeness last;
    int grabsCompared = 0;
    double worstGrabPsnr = 0;
};

// Composes the outcome's file with giflib and fills in its size and likenesses; with a log, also
// every kept grab against the frame shown at its moment.
void judge(Outcome& outcome, unsigned desktopColour, GrabLog* log);

// The peers, each as a user runs it for `seconds` on the whole screen; their CPU time is that of
// their processes.
Outcome recordWithByzanz(const std::string& folder, int width, int height, int seconds);
Outcome recordWithFfmpeg(const std::string& folder, int width, int height, int seconds, int rate);

}  // namespace fk::bench
