#include "filelist/search_animation_qt.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillora {
namespace {

// A small picture: sky, hills and a sun, on a white sheet.
void draw_picture(QPainter& p, QPointF centre, double angle, QColor sky) {
    p.save();
    p.translate(centre);
    p.rotate(angle);
    p.setPen(QPen(QColor(90, 90, 110), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(-9, -11, 18, 22));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRect(QRectF(-7, -9, 14, 10));
    p.setBrush(QColor(70, 170, 80));
    QPolygonF hill;
    hill << QPointF(-7, 1) << QPointF(-3, -5) << QPointF(1, -1) << QPointF(4, -4) << QPointF(7, 1);
    p.drawPolygon(hill);
    p.setBrush(QColor(255, 205, 40));
    p.drawEllipse(QPointF(3.5, -6.5), 1.6, 1.6);
    p.restore();
}

// An open folder with three pictures standing in it.
void draw_folder(QPainter& p, const QRectF& r) {
    FrameAnimation::draw_folder_back(p, r);

    draw_picture(p, QPointF(r.left() + r.width() * 0.28, r.top() + 8), -12, QColor(80, 160, 230));
    draw_picture(p, QPointF(r.center().x(), r.top() + 5), 0, QColor(120, 190, 240));
    draw_picture(p, QPointF(r.left() + r.width() * 0.72, r.top() + 8), 12, QColor(250, 150, 90));

    const QRectF front(r.left(), r.top() + 16, r.width(), r.height() - 16);
    const QLinearGradient shade = FrameAnimation::folder_front_shade(front);
    p.setPen(QPen(QColor(150, 105, 20), 1));
    p.setBrush(shade);
    QPolygonF lid;
    lid << QPointF(front.left() - 3, front.top()) << QPointF(front.right() + 3, front.top())
        << QPointF(front.right(), front.bottom()) << QPointF(front.left(), front.bottom());
    p.drawPolygon(lid);
}

}  // namespace

SearchAnimation::SearchAnimation(QWidget* parent) : FrameAnimation(kFrames, 60, parent) {}

void SearchAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    const double folder_w = std::min(56.0, area.width() - 12);
    const double folder_h = std::min(40.0, area.height() - 24);
    const QRectF folder(area.center().x() - folder_w / 2, area.center().y() - folder_h / 2 + 6,
                        folder_w, folder_h);
    draw_folder(p, folder);

    // The glass sweeps over the folder along a figure of eight.
    const double t = 2 * std::numbers::pi * frame() / kFrames;
    const QPointF lens(folder.center().x() + folder_w * 0.32 * std::sin(t),
                       folder.top() + 6 + folder_h * 0.16 * std::sin(2 * t));
    const double radius = 11;

    // Inside the lens, the folder seen larger.
    QPainterPath glass;
    glass.addEllipse(lens, radius, radius);
    p.save();
    p.setClipPath(glass);
    p.fillPath(glass, QColor(235, 245, 255));
    p.translate(lens);
    p.scale(1.6, 1.6);
    p.translate(-lens);
    draw_folder(p, folder);
    p.restore();
    p.setBrush(QColor(255, 255, 255, 50));
    p.setPen(QPen(QColor(70, 70, 80), 2.5));
    p.drawEllipse(lens, radius, radius);

    // The handle, down and to the right.
    const double d = radius / std::numbers::sqrt2;
    p.setPen(QPen(QColor(110, 60, 30), 4.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(lens + QPointF(d + 1, d + 1), lens + QPointF(d + 11, d + 11));
}

}  // namespace quillora
