// The error window and the application-wide failure handler.
#pragma once

#include <QDialog>
#include <exception>
#include <memory>
#include <string>

class QObject;

namespace Ui {
class TFormErro;
}

namespace quillora {

class TFormErro : public QDialog {
    Q_OBJECT
  public:
    explicit TFormErro(QWidget* parent = nullptr);
    ~TFormErro() override;

    // Writes the five centred lines for a failure message and its place code.
    void set_report(const QString& message, const QString& place_code);

  private:
    std::unique_ptr<Ui::TFormErro> ui_;
};

// The place code of a failure: where a quillora::Error was raised, or a
// stable code for the kind of any other failure.
std::string failure_place_code(const std::exception& failure);

// Shows a fresh error window for the failure (see set_standby_error_window),
// modally over whatever window is active, and then asks the application to end with exit status 1:
// every event loop returns (an open dialog as cancelled) and no new one runs.
void aplicacaoException(QObject* sender, const std::exception& failure);

// Whether a failure has been reported (the program is ending).
bool failure_reported() noexcept;

// The main window the error window is centred on (set by the main window).
void set_failure_main_window(QWidget* window) noexcept;

// The error window made hidden at start. Every report gets a fresh window,
// except a report of the program running out of memory (or one for which no
// fresh window can be made): that one is shown in this window, made while
// memory was plentiful. Not owned; forgotten when it is destroyed.
void set_standby_error_window(TFormErro* window) noexcept;

}  // namespace quillora
