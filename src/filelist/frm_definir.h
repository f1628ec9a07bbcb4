// The selection dialog: add files by hand, or search the search folder.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class Tform_definir;
}

namespace quillora {

class Tform_definir : public QDialog {
    Q_OBJECT
  public:
    explicit Tform_definir(QWidget* parent = nullptr);
    ~Tform_definir() override;

    // Whether the directory search was chosen (otherwise: files by hand).
    bool search_chosen() const;
    // Whether the search includes subfolders.
    bool subdirectories() const;

  private:
    std::unique_ptr<Ui::Tform_definir> ui_;
};

}  // namespace quillora
