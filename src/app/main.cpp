// The Quillora desktop program. It takes no command-line arguments.
#include <QFont>
#include <memory>

#include "app/application_qt.h"
#include "app/frm_erro.h"
#include "app/frm_principal.h"
#include "app/translations_qt.h"
#include "platform/display_qt.h"
#include "platform/maker.h"

int main(int argc, char** argv) {
    quillora::Application app(argc, argv);
    // The pictures live in the GUI library's resources.
    Q_INIT_RESOURCE(quillora);
    quillora::load_qt_translation();
    QApplication::setApplicationName(QStringLiteral("Quillora"));
    QApplication::setDesktopFileName(QStringLiteral("quillora"));
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    quillora::display::init_from_primary_screen();

    std::unique_ptr<quillora::Tform_principal> window;
    try {
        window = std::make_unique<quillora::Tform_principal>();
        window->create_windows();
    } catch (const std::exception& failure) {
        quillora::aplicacaoException(nullptr, failure);
    }
    if (quillora::failure_reported())
        return 1;
    window->show();
    const int status = QApplication::exec();
    return quillora::failure_reported() ? 1 : status;
}
