#include "engine/frm_progresso.h"

#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>

#include "engine/step_list_qt.h"
#include "platform/centre_qt.h"
#include "ui_frm_progresso.h"

namespace quillora {

Tform_progresso::Tform_progresso(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::Tform_progresso>()) {
    ui_->setupUi(this);
    // A caption bar without any buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(size());
    ui_->logo->setPixmap(QIcon(QStringLiteral(":/progresso_logo.svg")).pixmap(105, 193));
    ui_->bt_cancel->setIcon(QIcon(QStringLiteral(":/cancelar.svg")));
    connect(ui_->bt_cancel, &QPushButton::clicked, this, &Tform_progresso::cancel_clicked);
    centre_on_screen(*this);
}

Tform_progresso::~Tform_progresso() = default;

StepList* Tform_progresso::steps() const {
    return ui_->detalhes;
}

void Tform_progresso::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    emit shown();
}

void Tform_progresso::closeEvent(QCloseEvent* event) {
    if (run_lasting_) {
        event->ignore();
        ui_->bt_cancel->click();
        return;
    }
    // Closing only hides the window; it is reused by the next run.
    QDialog::closeEvent(event);
    emit closed();
}

void Tform_progresso::keyPressEvent(QKeyEvent* event) {
    // Esc presses Cancel instead of closing the window.
    if (event->key() == Qt::Key_Escape) {
        ui_->bt_cancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace quillora
