// The wait window of the directory search: the searched types, the directory
// being searched, an animation and Cancel.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <memory>
#include <string>

namespace Ui {
class Tform_buscar;
}

namespace quillora {

class SearchAnimation;

class Tform_buscar : public QDialog {
    Q_OBJECT
  public:
    explicit Tform_buscar(QWidget* parent = nullptr);
    ~Tform_buscar() override;

    SearchAnimation* animation() const;

    // Starts a search: clears the cancel request, starts the animation, sets
    // `buscando` with the masks field as it stands, and shows the window (not
    // modal) centred on `over` (the parent when null; the screen without
    // either), painted at once.
    void begin(const QString& masks_field, const QWidget* over = nullptr);
    // Shows the directory being searched in `pesquisa`.
    void scanning(const std::string& dir);
    // The search's progress callback: lets pending events through (at most
    // every kEventInterval milliseconds, so a large tree does not pay for an
    // event-loop pass per entry) and returns false once Cancel was asked for.
    bool responsive();
    bool cancel_requested() const { return cancel_requested_; }
    bool searching() const { return searching_; }
    // Stops the animation and hides the window.
    void end();

    static constexpr int kEventInterval = 20;

  public slots:
    // Cancel (the button, Esc, or a request to close the window): asks the
    // running search to stop. The window stays until end().
    void bt_cancelClick();
    void reject() override;

  private:
    std::unique_ptr<Ui::Tform_buscar> ui_;
    QElapsedTimer since_events_;
    bool searching_ = false;
    bool cancel_requested_ = false;
};

}  // namespace quillora
