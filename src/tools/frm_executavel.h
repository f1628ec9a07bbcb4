// The icon extraction dialog: choose an executable, step through its icons,
// save the one on show as an icon file.
#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "imaging/icon_image.h"

class QAction;

namespace Ui {
class Tform_executavel;
}

namespace quillora {

class ActionTable;

class Tform_executavel : public QDialog {
    Q_OBJECT
  public:
    explicit Tform_executavel(QWidget* parent = nullptr);
    ~Tform_executavel() override;

    ActionTable& actions() const { return *acao2_; }
    // The icon on show, if any.
    const IconImage* icon() const { return icon_ ? &*icon_ : nullptr; }

    void bt_openClick();
    void niconChange(int number);
    void acao_salvarExecute();

  private:
    void show_icon(int index);

    std::unique_ptr<Ui::Tform_executavel> ui_;
    std::unique_ptr<ActionTable> acao2_;
    QAction* acao_salvar_ = nullptr;
    std::optional<IconImage> icon_;
    QString last_open_, last_save_;
};

// The icon as a picture with transparency, for showing it.
QImage icon_to_image(const IconImage& icon);

}  // namespace quillora
