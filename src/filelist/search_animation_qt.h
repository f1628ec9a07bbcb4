// A busy animation of our own for the directory search: a magnifying glass
// sweeping over a folder of pictures, in 32 frames (0 to 31) that loop.
#pragma once

#include "platform/frame_animation_qt.h"

namespace quillora {

class SearchAnimation : public FrameAnimation {
    Q_OBJECT
  public:
    explicit SearchAnimation(QWidget* parent = nullptr);

    static constexpr int kFrames = 32;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quillora
