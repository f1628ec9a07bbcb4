#include "platform/centre_qt.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace quillora {
namespace {

// The frame the window system has put around the window so far.
QMargins frame_of(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

void place(QWidget& window, const QMargins& frame) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->geometry();
    const QSize outer = window.size().grownBy(frame);
    // A window's position is that of its frame's top-left corner.
    window.move(area.left() + (area.width() - outer.width()) / 2,
                area.top() + (area.height() - outer.height()) / 2);
}

const QString kName = QStringLiteral("centre_on_screen");

// Centres the window once more when its frame becomes known, then goes away.
class FrameWatch : public QObject {
  public:
    FrameWatch(QWidget& window, const QMargins& placed_with)
        : QObject(&window), window_(window), placed_with_(placed_with) {
        setObjectName(kName);
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Move:
            case QEvent::Resize: {
                const QMargins frame = frame_of(window_);
                if (frame != placed_with_) {
                    placed_with_ = frame;
                    place(window_, frame);
                }
                if (!frame.isNull()) {
                    window_.removeEventFilter(this);
                    deleteLater();
                }
                break;
            }
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QWidget& window_;
    QMargins placed_with_;
};

}  // namespace

void centre_on_screen(QWidget& window) {
    const QMargins frame = frame_of(window);
    place(window, frame);
    if (frame.isNull() && window.findChild<QObject*>(kName, Qt::FindDirectChildrenOnly) == nullptr)
        new FrameWatch(window, frame);
}

}  // namespace quillora
