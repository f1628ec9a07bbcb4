// The desktop capture: a picture of the whole primary screen at the screen's
// colour depth, shown in the viewer.
#pragma once

#include <functional>

#include "imaging/bitmap.h"
#include "settings/settings_store.h"

namespace quillora {

class Tform_screen;

// The primary screen's picture, full size in device pixels, as a screen
// bitmap at display::screen_depth(). Empty when the system gives no picture:
// no primary screen, a refused grab (a null picture), or on a Wayland session
// a desktop portal request that was refused, failed or got no answer.
Bitmap grab_primary_screen();

// The capture sequence: with the setting "Minimizar" equal to 1 the
// program's windows are minimised and a paced second passes first; then the
// primary screen is grabbed into the viewer, minimised windows are restored
// and the viewer runs modally. When the system refuses the grab the windows
// are restored and a warning says so; the viewer is not shown.
void capture_desktop(const settings::SettingsStore& REG, Tform_screen& viewer);

// Called by capture_desktop right before the screen is grabbed, once the
// program's windows are minimised; the program sets none (tests do, to look
// at the windows at that moment). An empty function removes it.
void set_before_grab(std::function<void()> hook);

// The warning shown when the system gives no picture of the screen.
inline constexpr const char* kCaptureTitle = "Capturar Desktop";
inline constexpr const char* kCaptureRefused = "Este sistema não permite capturar a tela.";

}  // namespace quillora
