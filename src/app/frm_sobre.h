// The about box.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class Tform_sobre;
}

namespace quillora {

class Tform_sobre : public QDialog {
    Q_OBJECT
  public:
    explicit Tform_sobre(QWidget* parent = nullptr);
    ~Tform_sobre() override;

  private:
    std::unique_ptr<Ui::Tform_sobre> ui_;
};

// The help file's path: "ajuda_quillora.chm" in the folder of the program's
// own executable (not the working folder).
QString help_file_path();

}  // namespace quillora
