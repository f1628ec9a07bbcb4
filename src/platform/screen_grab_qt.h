// The picture of the whole primary screen, as the window system hands it out.
#pragma once

#include <QImage>

namespace quillora {

// The primary screen at full size in device pixels, as an RGB32 (or ARGB32)
// image. On a Wayland session, which lets no program read the screen, the
// picture comes from the desktop portal (see portal_screenshot_qt.h); on X11
// it is grabbed. Null when the system gives no picture: no primary screen, a
// refused grab, or a portal request refused or failed.
QImage grab_primary_screen_image();

}  // namespace quillora
