#include "app/link_label_qt.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

namespace quillora {

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    set_colour(Qt::blue);
}

void LinkLabel::set_colour(const QColor& colour) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, colour);
    setPalette(palette);
}

void LinkLabel::enterEvent(QEnterEvent* event) {
    set_colour(Qt::red);
    QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event) {
    set_colour(Qt::blue);
    QLabel::leaveEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        // Whether a browser opened it is the desktop's business, not reported.
        QDesktopServices::openUrl(QUrl(text()));
    }
    QLabel::mouseReleaseEvent(event);
}

}  // namespace quillora
