// A picture of the screen through the desktop portal, the only way a program
// may read the screen on a Wayland session: org.freedesktop.portal.Screenshot
// on the session bus.
#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QString>
#include <chrono>

namespace quillora {

// Asks the portal on `bus` for a non-interactive picture of the screen and
// waits for its answer, processing window events meanwhile. Returns the
// picture, or a null image when the request is refused or fails: no portal on
// the bus, a response code other than 0, no picture file or one that cannot
// be read as a picture, or no answer within portal_time_limit(). The picture
// file is deleted afterwards when it lies in the temporary folder, where
// portals leave the pictures they take for a program.
QImage portal_screenshot(const QDBusConnection& bus);

// The bus the screen capture asks the portal on: the session bus, or the
// connection of that name when one was set (tests use a private bus).
QDBusConnection portal_bus();
void set_portal_bus_name(const QString& connection_name);

// How long the portal's answer is awaited once it has taken the request: 60 s.
// The program never changes it; tests shorten it.
std::chrono::milliseconds portal_time_limit() noexcept;
void set_portal_time_limit(std::chrono::milliseconds limit) noexcept;

// The largest picture file read from the portal.
inline constexpr qint64 kPortalPictureLimit = qint64(512) << 20;

}  // namespace quillora
