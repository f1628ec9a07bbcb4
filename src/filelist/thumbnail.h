// The size of a picture's thumbnail in the information panel.
#pragma once

#include "platform/display.h"

namespace quillora {

// The thumbnail box: 91 pixels wide, 53 high.
inline constexpr display::Size kThumbnailBox{91, 53};

// The size a picture of width x height is shown at in the thumbnail box: its
// own size when it fits; otherwise scaled down keeping the aspect ratio
// a = width / height (a real number), each side the integer part of the
// scaled value. Wider than high: width 91, height 91 / a, and if that height
// exceeds 53, height 53 and width 53 * a. Otherwise: height 53, width 53 * a,
// and if that width exceeds 91, width 91 and height 91 / a. Never enlarged;
// negative sides count as 0, and a side may come out as 0.
display::Size thumbnail_size(int width, int height) noexcept;

}  // namespace quillora
