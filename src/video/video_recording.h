#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace fk {

class Bitmap;

// What the recorder shows while a video is written after the stop.
struct VideoAssembly {
    // `frames` are still to be written; no events are dispatched from now on.
    std::function<void(int frames)> begin;
    // How many of them have been written.
    std::function<void(int done)> progress;
};

// One entry of the video list: what becomes of the screens that the recorder grabs until the
// stop, and how the video is written afterwards.
class VideoRecording {
public:
    virtual ~VideoRecording() = default;

    // Before every grab; throws when the recording cannot go on.
    virtual void check() {}
    // Whether the grab that is due now is made.
    virtual bool wantsGrab() { return true; }
    // The screen grabbed at `grabbedMs`. Its pixels may be taken over: `screen` then comes back
    // holding memory to grab the next screen into.
    virtual void add(Bitmap& screen, int64_t grabbedMs) = 0;
    // How long to wait after the grab due at `grabbedMs` of a recording begun at `startMs`.
    virtual int32_t pauseMs(int64_t startMs, int64_t grabbedMs, int64_t nowMs) = 0;
    // The recording ended at `nowMs`, without a failure.
    virtual void stopped(int64_t nowMs) { (void)nowMs; }
    // Writes the video; a `failure`, when set, ended the recording.
    virtual void write(std::exception_ptr failure, const VideoAssembly& assembly) = 0;
    // For a process that ends without coming back here: deletes the names of the files made so
    // far; threads still using them go on.
    virtual void abandon() = 0;
    // For a process that ends from inside the recording because the display has gone, at
    // `nowMs`: keeps of video `name` what can be finished without the display, else abandons it.
    // Returns what to tell the user.
    virtual std::string endWithoutDisplay(const std::string& name, int64_t nowMs);
};

}  // namespace fk
