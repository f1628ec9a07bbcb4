// The progress window of a batch run: the step list and Cancel.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class Tform_progresso;
}

namespace quillora {

class StepList;

class Tform_progresso : public QDialog {
    Q_OBJECT
  public:
    explicit Tform_progresso(QWidget* parent = nullptr);
    ~Tform_progresso() override;

    StepList* steps() const;

    // While a run lasts, a request to close the window (Alt+F4, the window
    // manager) presses Cancel instead: the window stays until the run ends.
    void set_run_lasting(bool lasting) noexcept { run_lasting_ = lasting; }

  signals:
    // The Cancel button (or Esc) was pressed.
    void cancel_clicked();
    // The window was shown or closed (each clears the cancel flag).
    void shown();
    void closed();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    std::unique_ptr<Ui::Tform_progresso> ui_;
    bool run_lasting_ = false;
};

}  // namespace quillora
