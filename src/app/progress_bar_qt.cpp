#include "app/progress_bar_qt.h"

#include <qdrawutil.h>
#include <QLinearGradient>
#include <QPainter>

namespace quillora {

ProgressoBar::ProgressoBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
}

void ProgressoBar::set_caption(const QString& caption) {
    caption_ = caption;
    update();
    emit caption_changed(caption_);
}

void ProgressoBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect outer = rect();
    painter.fillRect(outer, palette().color(QPalette::Window));
    qDrawShadePanel(&painter, outer, palette(), true, 1);
    const QRect inner = outer.adjusted(2, 2, -2, -2);

    // Solid blocks up to the position, coloured by where they stand on the bar.
    const int span = maximum() - minimum();
    const int filled =
        span > 0
            ? static_cast<int>(static_cast<long long>(inner.width()) * (value() - minimum()) / span)
            : 0;
    QLinearGradient gradient(inner.topLeft(), inner.topRight());
    gradient.setColorAt(0, Qt::white);
    gradient.setColorAt(1, QColor(255, 128, 0));
    const int block = qMax(4, inner.height() * 2 / 3), gap = 2;
    for (int x = 0; x < filled; x += block + gap) {
        painter.fillRect(
            QRect(inner.left() + x, inner.top(), qMin(block, filled - x), inner.height()),
            gradient);
    }
    if (!caption_.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(inner, Qt::AlignCenter, caption_);
    }
}

}  // namespace quillora
