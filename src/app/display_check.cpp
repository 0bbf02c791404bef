#include "app/display_check.h"

#include <QGuiApplication>
#include <QScreen>
#include <cstdlib>

namespace fk {

namespace {

// Truecolour of 15 bits a pixel or more: below that, displays have colour maps (PseudoColor).
constexpr int kLeastDepth = 15;

}  // namespace

std::optional<std::string> unusableDisplay() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || screen->depth() >= kLeastDepth)
        return std::nullopt;
    const char* name = std::getenv("DISPLAY");
    return "the display " + std::string(name ? name : "") + " has a depth of " +
           std::to_string(screen->depth()) + " bits per pixel; Fotokran needs " +
           std::to_string(kLeastDepth) + " or more (a truecolour display)";
}

}  // namespace fk
