// One full-screen grab through the wlroots screen copy into a Bitmap kept from grab to grab, in
// turns with the bare protocol round trip (a frame asked for, its buffer named, copied into a
// buffer made once, ready) on a connection of its own. Needs a wlroots compositor: run it through
// bench/wayland/sway_bench.sh.
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

#include "platform/wayland/wayland_grabber.h"
#include "support/bench_support.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

using namespace fk;

namespace {

struct Bare {
    wl_shm* shm = nullptr;
    wl_output* output = nullptr;
    zwlr_screencopy_manager_v1* manager = nullptr;
    wl_buffer* buffer = nullptr;
    uint32_t format = 0, width = 0, height = 0, stride = 0;
    bool offered = false, ready = false;
};

void global(void* data, wl_registry* r, uint32_t name, const char* interface, uint32_t) {
    auto* b = static_cast<Bare*>(data);
    if (!std::strcmp(interface, wl_shm_interface.name))
        b->shm = static_cast<wl_shm*>(wl_registry_bind(r, name, &wl_shm_interface, 1));
    else if (!std::strcmp(interface, wl_output_interface.name) && !b->output)
        b->output = static_cast<wl_output*>(wl_registry_bind(r, name, &wl_output_interface, 1));
    else if (!std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name))
        b->manager = static_cast<zwlr_screencopy_manager_v1*>(
            wl_registry_bind(r, name, &zwlr_screencopy_manager_v1_interface, 3));
}
const wl_registry_listener kRegistry = {global, [](void*, wl_registry*, uint32_t) {}};

const zwlr_screencopy_frame_v1_listener kFrame = {
    [](void* d, zwlr_screencopy_frame_v1*, uint32_t f, uint32_t w, uint32_t h, uint32_t s) {
        auto* b = static_cast<Bare*>(d);
        b->format = f, b->width = w, b->height = h, b->stride = s;
    },
    [](void*, zwlr_screencopy_frame_v1*, uint32_t) {},
    [](void* d, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
        static_cast<Bare*>(d)->ready = true;
    },
    [](void*, zwlr_screencopy_frame_v1*) { std::fprintf(stderr, "copy failed\n"); },
    [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {},
    [](void* d, zwlr_screencopy_frame_v1*) { static_cast<Bare*>(d)->offered = true; },
};

// One frame asked for and copied into the buffer (made at the first call).
void bareCopy(wl_display* display, Bare& b) {
    b.offered = b.ready = false;
    zwlr_screencopy_frame_v1* frame =
        zwlr_screencopy_manager_v1_capture_output(b.manager, 0, b.output);
    zwlr_screencopy_frame_v1_add_listener(frame, &kFrame, &b);
    while (!b.offered)
        wl_display_dispatch(display);
    if (!b.buffer) {
        const size_t size = size_t(b.stride) * b.height;
        const int fd = memfd_create("bench", MFD_CLOEXEC);
        if (ftruncate(fd, off_t(size)) != 0)
            std::perror("ftruncate");
        wl_shm_pool* pool = wl_shm_create_pool(b.shm, fd, int32_t(size));
        b.buffer = wl_shm_pool_create_buffer(pool, 0, int32_t(b.width), int32_t(b.height),
                                             int32_t(b.stride), b.format);
        wl_shm_pool_destroy(pool);
        close(fd);
    }
    zwlr_screencopy_frame_v1_copy(frame, b.buffer);
    while (!b.ready)
        wl_display_dispatch(display);
    zwlr_screencopy_frame_v1_destroy(frame);
}

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "no Wayland compositor: run it through bench/wayland/sway_bench.sh\n");
        return 1;
    }
    Bare bare;
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistry, &bare);
    wl_display_roundtrip(display);
    std::unique_ptr<WaylandGrabber> grabber = WaylandGrabber::create();
    if (!bare.manager || !grabber) {
        std::fprintf(stderr, "the compositor has no wlroots screen copy\n");
        return 1;
    }
    Bitmap picture;  // one bitmap for every grab, as the video loop keeps it
    const auto [oursMs, bareMs] = bench::medianPairMs([&] { grabber->grabScreen(picture); },
                                                      [&] { bareCopy(display, bare); }, 61);
    std::printf("%dx%d\n", picture.width(), picture.height());
    bench::reportRatio("screen copy grab into a kept bitmap", oursMs, "bare screen-copy round trip",
                       bareMs, 1.2);
    return 0;
}
