// The picture of the whole primary screen, as the window system hands it out.
#pragma once

#include <QImage>

namespace quillora {

// The primary screen at full size in device pixels, as an RGB32 (or ARGB32)
// image. Null when the system gives no picture: no primary screen, a refused
// grab, or a Wayland session handing out an all-black picture (Wayland lets
// no program read the screen without the desktop's own permission).
QImage grab_primary_screen_image();

}  // namespace quillora
