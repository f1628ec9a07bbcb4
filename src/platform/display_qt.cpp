#include "platform/display_qt.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/display.h"

namespace quillora::display {

void init_from_primary_screen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    // Any depth of 24 or more is a true-colour screen: bitmaps get 32 bits per pixel.
    const int depth = screen ? screen->depth() : 32;
    set_screen_depth(depth >= 24 ? 32 : depth);
    set_system_icon_size({32, 32});
}

}  // namespace quillora::display
