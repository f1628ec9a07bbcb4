// A busy animation of our own for the directory search: a magnifying glass
// sweeping over a folder of pictures, in 32 frames (0 to 31) that loop.
#pragma once

#include <QBasicTimer>
#include <QWidget>

namespace quillora {

class SearchAnimation : public QWidget {
    Q_OBJECT
  public:
    explicit SearchAnimation(QWidget* parent = nullptr);

    static constexpr int kFrames = 32;

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
