#include "platform/screen_grab_qt.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/error.h"
#include "platform/portal_screenshot_qt.h"

namespace quillora {
namespace {

bool wayland_session() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* session = std::getenv("XDG_SESSION_TYPE");
    return (display != nullptr && *display != '\0') ||
           (session != nullptr && std::strcmp(session, "wayland") == 0) ||
           QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace

QImage grab_primary_screen_image() {
    QImage grabbed;
    if (wayland_session()) {
        // Only the desktop may read the screen: ask its portal.
        grabbed = portal_screenshot(portal_bus());
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        grabbed = screen->grabWindow(0).toImage();
    }
    if (grabbed.isNull())
        return {};
    if (grabbed.format() != QImage::Format_RGB32 && grabbed.format() != QImage::Format_ARGB32)
        grabbed.convertTo(QImage::Format_RGB32);
    if (grabbed.isNull())
        throw Error(std::string(kOutOfResources));
    return grabbed;
}

}  // namespace quillora
