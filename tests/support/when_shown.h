// Answers a modal window once it is up, as a user would: whatever the program
// does before it shows the window (events it lets through, waits), the answer
// comes only when the window is the active modal one.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace quillora::testing {

// Looks for a modal window of type T at every turn of the event loop and
// calls `answer` once with the first one found.
template <class T>
void when_shown(std::function<void(T*)> answer) {
    QTimer::singleShot(1, [answer] {
        auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (window != nullptr && window->isVisible())
            return answer(window);
        when_shown<T>(answer);
    });
}

// The same for as long as the object lives: no answer is left waiting for a
// window that never came once the test's scope is left.
template <class T>
class WhenShown {
  public:
    explicit WhenShown(std::function<void(T*)> answer) {
        QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
            auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
            if (window == nullptr || !window->isVisible())
                return;
            timer_.stop();
            answered_ = true;
            answer(window);
        });
        timer_.start(1);
    }
    bool answered() const { return answered_; }

  private:
    QTimer timer_;
    bool answered_ = false;
};

}  // namespace quillora::testing
