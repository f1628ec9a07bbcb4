// The application object: every failure that escapes the handling of an
// event reaches the failure handler instead of unwinding through Qt.
#pragma once

#include <QApplication>

namespace quillora {

class Application : public QApplication {
    Q_OBJECT
  public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace quillora
