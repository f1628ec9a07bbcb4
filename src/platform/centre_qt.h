// Centring a window on the screen by its outer size, frame included.
#pragma once

class QWidget;

namespace quillora {

// Places `window` so that its outer rectangle, frame included, is centred on
// the primary screen: left = (screen width - outer width) div 2 and top =
// (screen height - outer height) div 2, from the screen's top-left corner.
// The window manager often adds the frame only once the window is on show:
// until then the window is centred by the frame known so far, and once more
// when its frame first becomes known; after that it is never moved again.
void centre_on_screen(QWidget& window);

}  // namespace quillora
