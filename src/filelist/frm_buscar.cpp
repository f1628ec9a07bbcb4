#include "filelist/frm_buscar.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "filelist/search_animation_qt.h"
#include "ui_frm_buscar.h"

namespace quillora {

Tform_buscar::Tform_buscar(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::Tform_buscar>()) {
    ui_->setupUi(this);
    // A caption bar without a system menu, so without close, minimise or
    // maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(size());
    setModal(false);
    connect(ui_->bt_cancel, &QPushButton::clicked, this, &Tform_buscar::bt_cancelClick);
}

Tform_buscar::~Tform_buscar() = default;

SearchAnimation* Tform_buscar::animation() const {
    return ui_->animacao;
}

void Tform_buscar::begin(const QString& masks_field, const QWidget* over) {
    searching_ = true;
    cancel_requested_ = false;
    if (over == nullptr)
        over = parentWidget();
    if (over != nullptr) {
        move(over->frameGeometry().center() - rect().center());
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
    ui_->buscando->setText(QStringLiteral("Buscando arquivos do tipo %1").arg(masks_field));
    ui_->pesquisa->clear();
    ui_->animacao->start();
    show();
    repaint();
    since_events_.start();
}

void Tform_buscar::scanning(const std::string& dir) {
    ui_->pesquisa->setText(
        QStringLiteral("Pesquisando %1...")
            .arg(QString::fromLocal8Bit(dir.data(), static_cast<qsizetype>(dir.size()))));
}

bool Tform_buscar::responsive() {
    if (!since_events_.isValid() || since_events_.elapsed() >= kEventInterval) {
        QCoreApplication::processEvents();
        since_events_.start();
    }
    return !cancel_requested_;
}

void Tform_buscar::end() {
    searching_ = false;
    ui_->animacao->stop();
    hide();
}

void Tform_buscar::bt_cancelClick() {
    if (searching_)
        cancel_requested_ = true;
}

void Tform_buscar::reject() {
    // Esc and close requests mean Cancel; the window closes when the search
    // has ended.
    bt_cancelClick();
}

}  // namespace quillora
