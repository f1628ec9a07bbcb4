// A busy animation of our own: sheets flying from one folder to another, in
// 35 frames (0 to 34) that loop.
#pragma once

#include "platform/frame_animation_qt.h"

namespace quillora {

class CopyAnimation : public FrameAnimation {
    Q_OBJECT
  public:
    explicit CopyAnimation(QWidget* parent = nullptr);

    static constexpr int kFrames = 35;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quillora
