#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_shm;
struct wl_output;
struct zwlr_screencopy_manager_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace fk {

// One monitor as the compositor describes it: its place in the desktop's logical coordinates and
// its size there, and its size in the pixels a copy of it has.
struct WaylandOutput {
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    uint32_t name = 0;  // the registry's name of the global
    int x = 0, y = 0;   // logical position
    int logicalWidth = 0, logicalHeight = 0;
    int pixelWidth = 0, pixelHeight = 0;  // current mode
    int scale = 1;
    bool logicalKnown = false;  // from xdg-output; else the position is wl_output's own
};

// The program's own connection to the Wayland compositor, apart from the toolkit's: the globals
// a grab needs, and waits that never outlast a bound. A compositor that does not answer in time or
// closes the connection makes every wait throw EGrabError instead of hanging.
class WaylandConnection {
public:
    // Connects to WAYLAND_DISPLAY; throws EGrabError when there is no compositor to speak to.
    WaylandConnection();
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return m_display; }
    wl_shm* shm() const { return m_shm; }
    zwlr_screencopy_manager_v1* screencopy() const { return m_screencopy; }
    uint32_t screencopyVersion() const { return m_screencopyVersion; }
    const std::vector<std::unique_ptr<WaylandOutput>>& outputs() const { return m_outputs; }
    // Formats the compositor's shared memory takes (wl_shm format codes).
    const std::vector<uint32_t>& shmFormats() const { return m_shmFormats; }

    // Dispatches events until `done` says so; throws EGrabError when the compositor stays silent
    // for `timeoutMs` or has gone.
    void dispatchUntil(const std::function<bool()>& done, int timeoutMs = kTimeoutMs);
    // Waits until the compositor has handled every request sent so far.
    void roundtrip();
    // Throws EGrabError when the connection has broken.
    void check() const;

    static constexpr int kTimeoutMs = 5000;

    // The registry's events (called by libwayland).
    static void onGlobalThunk(void* data, wl_registry* registry, uint32_t name,
                              const char* interface, uint32_t version);
    static void onGlobalRemoveThunk(void* data, wl_registry* registry, uint32_t name);

private:
    void describeOutput(WaylandOutput& output);
    void release();

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_shm* m_shm = nullptr;
    zwlr_screencopy_manager_v1* m_screencopy = nullptr;
    uint32_t m_screencopyVersion = 0;
    zxdg_output_manager_v1* m_xdgOutputs = nullptr;
    std::vector<std::unique_ptr<WaylandOutput>> m_outputs;
    std::vector<uint32_t> m_shmFormats;
};

}  // namespace fk
