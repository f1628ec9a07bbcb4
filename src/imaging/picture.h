// Pictures: anything that knows its size and can be drawn onto a screen
// bitmap (bitmaps, JPEG pictures, icon pictures).
#pragma once

#include <memory>
#include <string>

#include "imaging/bitmap.h"

namespace quillora {

class Picture {
  public:
    virtual ~Picture() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Draws the picture with its top-left corner at the target's top-left
    // corner. May decode the picture first (and keep the result).
    virtual void draw(Bitmap& target) = 0;
};

class BitmapPicture final : public Picture {
  public:
    explicit BitmapPicture(Bitmap bitmap) noexcept : bitmap_(std::move(bitmap)) {}
    int width() const override { return bitmap_.width(); }
    int height() const override { return bitmap_.height(); }
    void draw(Bitmap& target) override { quillora::draw(bitmap_, target); }
    const Bitmap& bitmap() const noexcept { return bitmap_; }

  private:
    Bitmap bitmap_;
};

}  // namespace quillora
