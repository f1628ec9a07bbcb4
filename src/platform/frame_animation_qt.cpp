#include "platform/frame_animation_qt.h"

#include <QTimerEvent>

namespace quillora {

FrameAnimation::FrameAnimation(int frames, int interval_ms, QWidget* parent)
    : QWidget(parent), frames_(frames), interval_ms_(interval_ms) {}

void FrameAnimation::start() {
    frame_ = 0;
    timer_.start(interval_ms_, this);
    update();
}

void FrameAnimation::stop() {
    timer_.stop();
}

void FrameAnimation::advance_now() {
    frame_ = (frame_ + 1) % frames_;
    repaint();
}

void FrameAnimation::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_.timerId())
        return QWidget::timerEvent(event);
    frame_ = (frame_ + 1) % frames_;
    update();
}

}  // namespace quillora
