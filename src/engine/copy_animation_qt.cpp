#include "engine/copy_animation_qt.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace quillora {
namespace {

void draw_folder(QPainter& p, QRectF r, bool open) {
    FrameAnimation::draw_folder_back(p, r);
    QRectF front(r.left(), r.top() + (open ? 14 : 10), r.width(), r.height() - (open ? 14 : 10));
    const QLinearGradient shade = FrameAnimation::folder_front_shade(front);
    p.setBrush(shade);
    if (open) {
        QPolygonF lid;
        lid << QPointF(front.left() + 5, front.top()) << QPointF(front.right() + 3, front.top())
            << QPointF(front.right(), front.bottom()) << QPointF(front.left(), front.bottom());
        p.drawPolygon(lid);
    } else {
        p.drawRect(front);
    }
}

void draw_sheet(QPainter& p, QPointF centre, double angle) {
    p.save();
    p.translate(centre);
    p.rotate(angle);
    QRectF sheet(-8, -10, 16, 20);
    p.setPen(QPen(QColor(90, 90, 110), 1));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    // A tiny landscape: the sheet is a picture.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 160, 230));
    p.drawRect(QRectF(-6, -8, 12, 8));
    p.setBrush(QColor(70, 170, 80));
    QPolygonF hill;
    hill << QPointF(-6, 0) << QPointF(-2, -5) << QPointF(2, -1) << QPointF(4, -3) << QPointF(6, 0);
    p.drawPolygon(hill);
    p.setBrush(QColor(255, 205, 40));
    p.drawEllipse(QPointF(3, -6), 1.5, 1.5);
    p.restore();
}

}  // namespace

CopyAnimation::CopyAnimation(QWidget* parent) : FrameAnimation(kFrames, 50, parent) {}

void CopyAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    const double folder_w = 44, folder_h = 34;
    const double y = area.center().y() - folder_h / 2 + 6;
    const QRectF from(12, y, folder_w, folder_h);
    const QRectF to(area.width() - 12 - folder_w, y, folder_w, folder_h);
    draw_folder(p, from, true);
    draw_folder(p, to, false);
    // Three sheets along an arc from one folder to the other, spaced in time.
    for (int k = 0; k < 3; ++k) {
        double t = std::fmod(frame() / double(kFrames) + k / 3.0, 1.0);
        double x = from.center().x() + (to.center().x() - from.center().x()) * t;
        double lift = std::sin(t * M_PI) * (area.height() * 0.42);
        QPointF centre(x, from.top() + 4 - lift);
        draw_sheet(p, centre, -20 + 40 * t);
    }
}

}  // namespace quillora
