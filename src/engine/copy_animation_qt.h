// A busy animation of our own: sheets flying from one folder to another, in
// 35 frames (0 to 34) that loop.
#pragma once

#include <QBasicTimer>
#include <QWidget>

namespace quillora {

class CopyAnimation : public QWidget {
    Q_OBJECT
  public:
    explicit CopyAnimation(QWidget* parent = nullptr);

    static constexpr int kFrames = 35;

    void start();
    void stop();
    bool playing() const { return timer_.isActive(); }
    int frame() const { return frame_; }
    // Steps to the next frame and paints it at once, without processing events
    // (for long work that does not return to the event loop).
    void advance_now();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    QBasicTimer timer_;
    int frame_ = 0;
};

}  // namespace quillora
