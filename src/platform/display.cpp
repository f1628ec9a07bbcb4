#include "platform/display.h"

#include <atomic>

namespace quillora::display {
namespace {
std::atomic<int> g_depth{32};
std::atomic<int> g_startup{32};
std::atomic<int> g_icon_w{32};
std::atomic<int> g_icon_h{32};
}  // namespace

int normalised_depth(int bits) noexcept {
    if (bits >= 24)
        return bits == 24 ? 24 : 32;
    if (bits >= 15)
        return 16;
    return 8;
}

int screen_depth() noexcept {
    return g_depth.load(std::memory_order_relaxed);
}

void set_screen_depth(int bits) noexcept {
    g_depth = normalised_depth(bits);
    g_startup = normalised_depth(bits);
}

int startup_depth() noexcept {
    return g_startup.load(std::memory_order_relaxed);
}
void set_startup_depth(int bits) noexcept {
    g_startup = normalised_depth(bits);
}

Size system_icon_size() noexcept {
    return {g_icon_w.load(), g_icon_h.load()};
}

void set_system_icon_size(Size size) noexcept {
    g_icon_w = size.width;
    g_icon_h = size.height;
}

ScopedDisplay::ScopedDisplay(int depth, Size icon) noexcept
    : depth_(screen_depth()), startup_(startup_depth()), icon_(system_icon_size()) {
    set_screen_depth(depth);
    set_system_icon_size(icon);
}

ScopedDisplay::~ScopedDisplay() {
    g_depth = depth_;
    g_startup = startup_;
    set_system_icon_size(icon_);
}

}  // namespace quillora::display
