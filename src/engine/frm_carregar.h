// The loading wait window, shown while a mode's stored list is put back.
#pragma once

#include <QDialog>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>

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
    // Starts the animation, shows the window (not modal) and paints it at
    // once: window events, but no user input, are processed until the window
    // system has put the window on the screen (for a second at most).
    void begin();
    // Hands `paths` to `append` in order, a few at a time, and processes
    // waiting window events (but no user input: the list and the mode cannot
    // change meanwhile) at least every 20 ms and every kMostBetweenEvents
    // paths, so the animation plays and the window repaints while a long
    // list comes back.
    void copy(std::span<const std::string> paths,
              const std::function<void(std::span<const std::string>)>& append);
    // Stops the animation and hides the window.
    void end();

    // Paths handed to `append` at once, and the most handed on between two
    // turns of processing events.
    static constexpr std::size_t kPiece = 512;
    static constexpr std::size_t kMostBetweenEvents = 16384;

  private:
    std::unique_ptr<Ui::Tform_carregar> ui_;
};

}  // namespace quillora
