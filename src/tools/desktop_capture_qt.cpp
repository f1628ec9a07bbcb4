#include "tools/desktop_capture_qt.h"

#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/dialogs_qt.h"
#include "platform/display.h"
#include "platform/screen_grab_qt.h"
#include "platform/wait_qt.h"
#include "tools/frm_screen.h"

namespace quillora {
namespace {

// The program's windows on show, as the user sees them (not tool tips or
// popup menus, which close by themselves).
std::vector<QWidget*> program_windows() {
    std::vector<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (type == Qt::ToolTip || type == Qt::Popup || type == Qt::Desktop)
            continue;
        windows.push_back(widget);
    }
    return windows;
}

// The windows the capture minimised and the states they had.
using SavedStates = std::vector<std::pair<QPointer<QWidget>, Qt::WindowStates>>;

SavedStates minimise_program() {
    SavedStates saved;
    for (QWidget* window : program_windows()) {
        if (window->isVisible() && !window->isMinimized()) {
            saved.emplace_back(window, window->windowState());
            window->showMinimized();
        }
    }
    return saved;
}

// Restores every minimised window of the program. A window the capture
// minimised gets back the state it had (a window system may forget that a
// minimised window was maximised); any other loses only its minimised state.
// Windows that are not minimised are not touched.
void restore_program(const SavedStates& saved) {
    for (QWidget* window : program_windows()) {
        if (!window->isMinimized())
            continue;
        Qt::WindowStates state = window->windowState();
        for (const auto& [minimised, before] : saved) {
            if (minimised == window)
                state = before;
        }
        window->setWindowState(state & ~Qt::WindowMinimized);
    }
}

}  // namespace

Bitmap grab_primary_screen() {
    const QImage grabbed = grab_primary_screen_image();
    if (grabbed.isNull())
        return {};

    // The screen's pixels stored straight into the screen bitmap at its
    // depth, converted as draw() converts them: no second full-size copy.
    const int width = grabbed.width();
    const int height = grabbed.height();
    const int depth = display::screen_depth();
    Bitmap capture = create_screen_bitmap(width, height, depth);
    const int bytes = capture.bpp() / 8;
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(grabbed.constScanLine(y));
        std::uint8_t* out = capture.row(y);
        if (bytes == 4) {
            for (int x = 0; x < width; ++x) {
                // 0xAARRGGBB in memory is B,G,R,A: the screen bitmap's
                // fourth byte is 0.
                const std::uint32_t pixel = in[x] & 0x00FFFFFFu;
                std::memcpy(out + 4 * x, &pixel, 4);
            }
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const std::uint32_t value = screen_pixel(depth, static_cast<std::uint8_t>(qRed(in[x])),
                                                     static_cast<std::uint8_t>(qGreen(in[x])),
                                                     static_cast<std::uint8_t>(qBlue(in[x])));
            std::uint8_t* p = out + x * bytes;
            for (int i = 0; i < bytes; ++i)
                p[i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    }
    return capture;
}

namespace {

std::function<void()>& before_grab() {
    static std::function<void()> hook;
    return hook;
}

}  // namespace

void set_before_grab(std::function<void()> hook) {
    before_grab() = std::move(hook);
}

void capture_desktop(const settings::SettingsStore& REG, Tform_screen& viewer) {
    bool refused = false;
    {
        // Minimised windows come back also when the grab fails.
        struct Restore {
            ~Restore() { restore_program(saved); }
            SavedStates saved;
        } restore;
        if (REG.read_integer("Minimizar", 0) == 1) {
            restore.saved = minimise_program();
            responsive_wait(pacing_second());
        }
        if (before_grab())
            before_grab()();
        Bitmap capture = grab_primary_screen();
        refused = capture.empty();
        if (!refused)
            viewer.set_picture(std::move(capture));
    }
    if (refused) {
        dialogs().warn(viewer.parentWidget(), QString::fromUtf8(kCaptureTitle),
                       QString::fromUtf8(kCaptureRefused));
        return;
    }
    viewer.exec();
    // The viewer empties itself when it closes; it may also return without
    // closing (the program ending), and no capture is held after it.
    viewer.FormClose();
}

}  // namespace quillora
