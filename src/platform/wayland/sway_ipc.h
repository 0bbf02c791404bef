#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/screen_grabber.h"

namespace fk {

// A connection to the IPC socket of sway (or of another compositor that speaks i3's IPC), named
// by SWAYSOCK. Every wait is bounded; a compositor that does not answer gives EGrabError.
class SwayIpc {
public:
    enum : uint32_t { RunCommand = 0, Subscribe = 2, GetTree = 4, GetConfig = 9 };

    // Connects to the socket; throws EGrabError when it cannot.
    explicit SwayIpc(const std::string& socketPath);
    ~SwayIpc();
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    // The socket of this session, or nothing when SWAYSOCK is not set.
    static std::optional<std::string> sessionSocket();

    // Sends a message and returns the compositor's answer to it (events that come meanwhile are
    // passed over).
    std::string request(uint32_t type, const std::string& payload = {});
    // After a subscription: waits for the next event, at most `timeoutMs`; false when none came.
    bool waitForEvent(int timeoutMs);

    static constexpr int kTimeoutMs = 3000;

private:
    void send(uint32_t type, const std::string& payload);
    // One message; false when none came within the time.
    bool receive(uint32_t& type, std::string& payload, int timeoutMs);
    void readExactly(char* into, size_t size, int timeoutMs);

    int m_fd = -1;
};

// What the program reads from the compositor's tree of windows (the answer to GetTree).
// A window's node id and its rectangle with its border and title bar, in the desktop's logical
// coordinates.
struct SwayWindow {
    int64_t id = 0;
    ScreenRect rect;
};
// The focused window; nothing when no window has the focus.
std::optional<SwayWindow> focusedWindow(const std::string& tree);
// The window of this node id; nothing when it has gone.
std::optional<SwayWindow> windowById(const std::string& tree, int64_t id);
// Whether a window of the process shows on a visible workspace.
bool processShowsWindow(const std::string& tree, int64_t pid);
// Whether the compositor's configuration mentions this text (the answer to GetConfig).
bool configMentions(const std::string& config, const std::string& text);

}  // namespace fk
