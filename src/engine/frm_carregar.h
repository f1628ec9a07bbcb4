// The loading wait window, shown while a mode's stored list is put back.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class Tform_carregar;
}

namespace quillora {

class CopyAnimation;

class Tform_carregar : public QDialog {
    Q_OBJECT
  public:
    explicit Tform_carregar(QWidget* parent = nullptr);
    ~Tform_carregar() override;

    CopyAnimation* animation() const;
    // Starts the animation, shows the window (not modal) and paints it at once.
    void begin();
    // Stops the animation and hides the window.
    void end();

  private:
    std::unique_ptr<Ui::Tform_carregar> ui_;
};

}  // namespace quillora
