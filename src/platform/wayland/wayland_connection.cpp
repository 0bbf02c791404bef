#include "platform/wayland/wayland_connection.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "platform/errors.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace fk {

namespace {

void outputGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                    const char*, const char*, int32_t) {
    auto* o = static_cast<WaylandOutput*>(data);
    if (!o->logicalKnown) {
        o->x = x;
        o->y = y;
    }
}
void outputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    auto* o = static_cast<WaylandOutput*>(data);
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        o->pixelWidth = width;
        o->pixelHeight = height;
    }
}
void outputDone(void*, wl_output*) {}
void outputScale(void* data, wl_output*, int32_t factor) {
    static_cast<WaylandOutput*>(data)->scale = std::max(factor, 1);
}
const wl_output_listener kOutputListener = {outputGeometry, outputMode, outputDone,
                                            outputScale,    nullptr,    nullptr};

void xdgPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    auto* o = static_cast<WaylandOutput*>(data);
    o->x = x;
    o->y = y;
    o->logicalKnown = true;
}
void xdgSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
    auto* o = static_cast<WaylandOutput*>(data);
    o->logicalWidth = width;
    o->logicalHeight = height;
}
void xdgDone(void*, zxdg_output_v1*) {}
void xdgName(void*, zxdg_output_v1*, const char*) {}
void xdgDescription(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener kXdgOutputListener = {xdgPosition, xdgSize, xdgDone, xdgName,
                                                    xdgDescription};

void shmFormat(void* data, wl_shm*, uint32_t format) {
    static_cast<std::vector<uint32_t>*>(data)->push_back(format);
}
const wl_shm_listener kShmListener = {shmFormat};

const wl_registry_listener kRegistryListener = {
    [](void* d, wl_registry* r, uint32_t n, const char* i, uint32_t v) {
        WaylandConnection::onGlobalThunk(d, r, n, i, v);
    },
    [](void* d, wl_registry* r, uint32_t n) { WaylandConnection::onGlobalRemoveThunk(d, r, n); }};

void destroyOutput(WaylandOutput& o) {
    if (o.xdgOutput)
        zxdg_output_v1_destroy(o.xdgOutput);
    if (o.output)
        wl_output_release(o.output);
}

}  // namespace

WaylandConnection::WaylandConnection() : m_display(wl_display_connect(nullptr)) {
    if (!m_display) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        throw EGrabError(std::string("Cannot connect to the Wayland compositor \"") +
                         (name ? name : "wayland-0") + "\"");
    }
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &kRegistryListener, this);
    try {
        roundtrip();  // the globals
        if (m_xdgOutputs)
            for (auto& o : m_outputs)
                describeOutput(*o);
        roundtrip();  // the formats and the outputs' descriptions
    } catch (...) {
        release();
        throw;
    }
}

WaylandConnection::~WaylandConnection() {
    release();
}

void WaylandConnection::release() {
    if (!m_display)
        return;
    for (auto& o : m_outputs)
        destroyOutput(*o);
    m_outputs.clear();
    if (m_screencopy)
        zwlr_screencopy_manager_v1_destroy(std::exchange(m_screencopy, nullptr));
    if (m_xdgOutputs)
        zxdg_output_manager_v1_destroy(std::exchange(m_xdgOutputs, nullptr));
    if (m_shm)
        wl_shm_destroy(std::exchange(m_shm, nullptr));
    if (m_registry)
        wl_registry_destroy(std::exchange(m_registry, nullptr));
    wl_display_disconnect(std::exchange(m_display, nullptr));
}

void WaylandConnection::onGlobalThunk(void* data, wl_registry* registry, uint32_t name,
                                      const char* interface, uint32_t version) {
    auto* self = static_cast<WaylandConnection*>(data);
    const std::string_view i(interface);
    if (i == wl_shm_interface.name && !self->m_shm) {
        self->m_shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
        wl_shm_add_listener(self->m_shm, &kShmListener, &self->m_shmFormats);
    } else if (i == wl_output_interface.name && version >= 3) {
        auto o = std::make_unique<WaylandOutput>();
        o->name = name;
        o->output =
            static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 3));
        wl_output_add_listener(o->output, &kOutputListener, o.get());
        if (self->m_xdgOutputs)
            self->describeOutput(*o);
        self->m_outputs.push_back(std::move(o));
    } else if (i == zwlr_screencopy_manager_v1_interface.name && !self->m_screencopy) {
        self->m_screencopyVersion = std::min<uint32_t>(version, 3);
        self->m_screencopy = static_cast<zwlr_screencopy_manager_v1*>(wl_registry_bind(
            registry, name, &zwlr_screencopy_manager_v1_interface, self->m_screencopyVersion));
    } else if (i == zxdg_output_manager_v1_interface.name && !self->m_xdgOutputs) {
        self->m_xdgOutputs = static_cast<zxdg_output_manager_v1*>(wl_registry_bind(
            registry, name, &zxdg_output_manager_v1_interface, std::min<uint32_t>(version, 3)));
    }
}

void WaylandConnection::onGlobalRemoveThunk(void* data, wl_registry*, uint32_t name) {
    auto* self = static_cast<WaylandConnection*>(data);
    std::erase_if(self->m_outputs, [name](const std::unique_ptr<WaylandOutput>& o) {
        if (o->name != name)
            return false;
        destroyOutput(*o);
        return true;
    });
}

void WaylandConnection::describeOutput(WaylandOutput& output) {
    if (output.xdgOutput)
        return;
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(m_xdgOutputs, output.output);
    zxdg_output_v1_add_listener(output.xdgOutput, &kXdgOutputListener, &output);
}

void WaylandConnection::check() const {
    if (const int error = wl_display_get_error(m_display))
        throw EGrabError(std::string("The connection to the Wayland compositor is broken (") +
                         std::strerror(error) + ")");
}

void WaylandConnection::dispatchUntil(const std::function<bool()>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (wl_display_dispatch_pending(m_display) < 0)
            check();
        if (done())
            return;
        while (wl_display_prepare_read(m_display) != 0)
            if (wl_display_dispatch_pending(m_display) < 0)
                check();
        if (wl_display_flush(m_display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(m_display);
            check();
            throw EGrabError("The Wayland compositor has closed the connection");
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd fd{wl_display_get_fd(m_display), POLLIN, 0};
        const int ready = left > 0 ? poll(&fd, 1, int(left)) : 0;
        if (ready <= 0) {
            wl_display_cancel_read(m_display);
            if (ready < 0 && errno == EINTR)
                continue;
            throw EGrabError("The Wayland compositor did not answer within " +
                             std::to_string(timeoutMs / 1000) + " s");
        }
        if (wl_display_read_events(m_display) < 0) {
            check();
            throw EGrabError("The Wayland compositor has closed the connection");
        }
    }
}

void WaylandConnection::roundtrip() {
    bool done = false;
    wl_callback* callback = wl_display_sync(m_display);
    static const wl_callback_listener listener = {
        [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback_add_listener(callback, &listener, &done);
    try {
        dispatchUntil([&done] { return done; });
    } catch (...) {
        wl_callback_destroy(callback);
        throw;
    }
    wl_callback_destroy(callback);
}

}  // namespace fk
