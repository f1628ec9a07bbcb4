// A looping animation of a fixed number of frames, painted by a subclass.
#pragma once

#include <QBasicTimer>
#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

namespace quillora {

class FrameAnimation : public QWidget {
    Q_OBJECT
  public:
    FrameAnimation(int frames, int interval_ms, QWidget* parent = nullptr);

    int frames() const { return frames_; }
    void start();
    void stop();
    bool playing() const { return timer_.isActive(); }
    int frame() const { return frame_; }
    // Steps to the next frame and paints it at once, without processing events
    // (for long work that does not return to the event loop).
    void advance_now();

    // The parts of a folder both animations draw: its back with the tab,
    // and the shading of its front.
    static void draw_folder_back(QPainter& painter, const QRectF& area);
    static QLinearGradient folder_front_shade(const QRectF& front);

  protected:
    void timerEvent(QTimerEvent* event) override;

  private:
    QBasicTimer timer_;
    int frames_, interval_ms_;
    int frame_ = 0;
};

}  // namespace quillora
