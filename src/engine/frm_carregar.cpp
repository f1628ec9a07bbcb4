#include "engine/frm_carregar.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <algorithm>

#include "engine/copy_animation_qt.h"
#include "platform/centre_qt.h"
#include "ui_frm_carregar.h"

namespace quillora {

Tform_carregar::Tform_carregar(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::Tform_carregar>()) {
    ui_->setupUi(this);
    // A caption bar without buttons, above every other window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setFixedSize(size());
    QFont bold = ui_->c_aguarde->font();
    bold.setBold(true);
    bold.setPixelSize(13);
    ui_->c_aguarde->setFont(bold);
}

Tform_carregar::~Tform_carregar() = default;

CopyAnimation* Tform_carregar::animation() const {
    return ui_->animacao01;
}

void Tform_carregar::begin() {
    centre_on_screen(*this);
    ui_->animacao01->start();
    show();
    // A window is on the screen only once the window system says so; painted
    // before that, it would show up empty. The animation's timer wakes the
    // wait even when nothing else comes.
    QElapsedTimer waited;
    waited.start();
    while (!(windowHandle() && windowHandle()->isExposed()) && waited.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    }
    repaint();
}

void Tform_carregar::copy(std::span<const std::string> paths,
                          const std::function<void(std::span<const std::string>)>& append) {
    QElapsedTimer since_events;
    since_events.start();
    std::size_t since_events_count = 0;
    while (!paths.empty()) {
        const std::size_t n = std::min(paths.size(), kPiece);
        append(paths.first(n));
        paths = paths.subspan(n);
        since_events_count += n;
        if (!paths.empty() &&
            (since_events_count >= kMostBetweenEvents || since_events.elapsed() >= 20)) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            since_events.start();
            since_events_count = 0;
        }
    }
}

void Tform_carregar::end() {
    ui_->animacao01->stop();
    hide();
}

}  // namespace quillora
