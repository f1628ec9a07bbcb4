#include "platform/frame_animation_qt.h"

#include <QPainterPath>
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

void FrameAnimation::draw_folder_back(QPainter& p, const QRectF& r) {
    QPainterPath back;
    back.moveTo(r.left(), r.top() + 6);
    back.lineTo(r.left() + r.width() * 0.35, r.top() + 6);
    back.lineTo(r.left() + r.width() * 0.42, r.top());
    back.lineTo(r.right(), r.top());
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.left(), r.bottom());
    back.closeSubpath();
    p.setPen(QPen(QColor(150, 105, 20), 1));
    p.setBrush(QColor(232, 176, 58));
    p.drawPath(back);
}

QLinearGradient FrameAnimation::folder_front_shade(const QRectF& front) {
    QLinearGradient shade(front.topLeft(), front.bottomLeft());
    shade.setColorAt(0, QColor(255, 214, 110));
    shade.setColorAt(1, QColor(240, 184, 64));
    return shade;
}

void FrameAnimation::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_.timerId())
        return QWidget::timerEvent(event);
    frame_ = (frame_ + 1) % frames_;
    update();
}

}  // namespace quillora
