#include "app/application_qt.h"

#include <exception>
#include <stdexcept>

#include "app/frm_erro.h"

namespace quillora {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        aplicacaoException(receiver, failure);
    } catch (...) {
        aplicacaoException(receiver, std::runtime_error("Unknown failure"));
    }
    return false;
}

}  // namespace quillora
