// Facts about the display that pictures depend on. The desktop program sets
// them once from the primary screen at start; the command-line converter and
// the tests set them directly.
#pragma once

namespace quillora::display {

// Bits per pixel of bitmaps compatible with the screen: 32, 24, 16 or 8.
// Any depth of 24 or more is a true-colour screen and counts as 32.
int screen_depth() noexcept;
void set_screen_depth(int bits) noexcept;

// The depth the screen had when the program started; it decides whether JPEG
// files decode to 8 bits per pixel. Set together with the screen depth unless
// set on its own afterwards.
int startup_depth() noexcept;
void set_startup_depth(int bits) noexcept;

struct Size {
    int width;
    int height;
};

// The platform's standard icon size: 32 x 32.
Size system_icon_size() noexcept;
void set_system_icon_size(Size size) noexcept;

// Normalises a reported depth to one the bitmaps support (32, 24, 16 or 8).
int normalised_depth(int bits) noexcept;

// Restores every fact to its default for as long as it lives (for tests).
class ScopedDisplay {
  public:
    explicit ScopedDisplay(int depth, Size icon = {32, 32}) noexcept;
    ~ScopedDisplay();
    ScopedDisplay(const ScopedDisplay&) = delete;
    ScopedDisplay& operator=(const ScopedDisplay&) = delete;

  private:
    int depth_, startup_;
    Size icon_;
};

}  // namespace quillora::display
