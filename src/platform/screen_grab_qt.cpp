#include "platform/screen_grab_qt.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/error.h"

namespace quillora {
namespace {

bool wayland_session() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* session = std::getenv("XDG_SESSION_TYPE");
    return (display != nullptr && *display != '\0') ||
           (session != nullptr && std::strcmp(session, "wayland") == 0) ||
           QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool all_black(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((row[x] & 0x00FFFFFFu) != 0)
                return false;
        }
    }
    return true;
}

}  // namespace

QImage grab_primary_screen_image() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {};
    QImage grabbed = screen->grabWindow(0).toImage();
    if (grabbed.isNull())
        return {};
    if (grabbed.format() != QImage::Format_RGB32 && grabbed.format() != QImage::Format_ARGB32)
        grabbed.convertTo(QImage::Format_RGB32);
    if (grabbed.isNull())
        throw Error(std::string(kOutOfResources));
    if (wayland_session() && all_black(grabbed))
        return {};
    return grabbed;
}

}  // namespace quillora
