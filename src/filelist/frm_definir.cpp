#include "filelist/frm_definir.h"

#include "platform/default_button_qt.h"
#include "ui_frm_definir.h"

namespace quillora {

Tform_definir::Tform_definir(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::Tform_definir>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(size());
    move(492, 279);
    // The subfolder choice belongs to the search; it keeps its tick while disabled.
    connect(ui_->s_01, &QRadioButton::toggled, this,
            [this](bool manual) { ui_->subdir->setEnabled(!manual); });
    enter_presses_default(*this);
}

Tform_definir::~Tform_definir() = default;

bool Tform_definir::search_chosen() const {
    return ui_->s_02->isChecked();
}
bool Tform_definir::subdirectories() const {
    return ui_->subdir->isChecked();
}

}  // namespace quillora
