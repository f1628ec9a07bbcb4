#include "engine/frm_carregar.h"

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
    repaint();
}

void Tform_carregar::end() {
    ui_->animacao01->stop();
    hide();
}

}  // namespace quillora
