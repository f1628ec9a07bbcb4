// Answers a modal window the code under test opens and waits in: `act` runs
// once a window of type T is the active modal window, at the next tick of the
// event loop the waiting code runs.
#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

namespace quillora::testing {

template <class T>
class ModalAnswer {
  public:
    explicit ModalAnswer(std::function<void(T*)> act) : act_(std::move(act)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            T* window = qobject_cast<T*>(QApplication::activeModalWidget());
            if (window == nullptr || !window->isVisible())
                return;
            timer_.stop();
            answered = true;
            act_(window);
        });
        timer_.start(5);
    }
    bool answered = false;

  private:
    std::function<void(T*)> act_;
    QTimer timer_;
};

}  // namespace quillora::testing
