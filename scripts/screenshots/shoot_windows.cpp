// Takes the README's pictures of the program's windows on a running X display
// (scripts/screenshots.sh starts one): the main window with a list, the
// picture-open dialog in Portuguese and the progress window of a conversion.
// Each picture is taken by ImageMagick's `import` from the X server itself.
//   quillora_screenshots OUTPUT_DIR PICTURE...
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFont>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/application_qt.h"
#include "app/frm_principal.h"
#include "app/translations_qt.h"
#include "engine/frm_progresso.h"
#include "engine/step_list_qt.h"
#include "platform/action_table_qt.h"
#include "platform/dialogs_qt.h"
#include "platform/display_qt.h"

namespace {

QString g_output;
int g_failures = 0;

// `import` of one window into OUTPUT_DIR/name.
void shoot(QWidget* window, const char* name) {
    QApplication::processEvents();
    const QString file = g_output + '/' + name;
    const int status =
        QProcess::execute(QStringLiteral("import"),
                          {QStringLiteral("-window"), QString::number(window->winId()), file});
    std::printf("%s: %s\n", qPrintable(file), status == 0 ? "written" : "FAILED");
    g_failures += status != 0;
}

// Runs `then` once `ready` holds, looking every 50 ms, then a little later
// (the window system paints the window after it is mapped).
void when(std::function<bool()> ready, std::function<void()> then) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, ready, then] {
        if (!ready())
            return;
        poll->stop();
        poll->deleteLater();
        QTimer::singleShot(400, then);
    });
    poll->start(50);
}

}  // namespace

int main(int argc, char** argv) {
    quillora::Application app(argc, argv);
    Q_INIT_RESOURCE(quillora);
    if (argc < 3) {
        std::fprintf(stderr, "usage: quillora_screenshots OUTPUT_DIR PICTURE...\n");
        return 2;
    }
    quillora::load_qt_translation();
    // Qt's own dialogs, as on a desktop without a dialog theme of its own.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication::setApplicationName(QStringLiteral("Quillora"));
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    quillora::display::init_from_primary_screen();
    g_output = QString::fromLocal8Bit(argv[1]);

    quillora::Tform_principal window;
    window.create_windows();
    std::vector<std::string> pictures(argv + 2, argv + argc);
    window.append(pictures);
    window.refresh_count();
    window.select_first_and_show();
    window.show();

    auto* b02 = window.findChild<QAbstractButton*>(QStringLiteral("b02"));
    when([&] { return window.isVisible(); },
         [&] {
             shoot(&window, "principal.png");
             QTimer::singleShot(0, [&] {
                 when([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); },
                      [] {
                          QWidget* dialog = QApplication::activeModalWidget();
                          shoot(dialog, "dialogo_abrir.png");
                          dialog->close();
                      });
                 quillora::dialogs().open_pictures(
                     &window, QStringLiteral("Imagem Bitmap (*.bmp)|*.bmp"),
                     QString::fromStdString(pictures.front()).section('/', 0, -2), QString(),
                     [](const QString&) { return QImage(); });
                 // The conversion: the progress window once two steps are ticked.
                 when(
                     [&] {
                         return window.progresso()->isVisible() &&
                                window.progresso()->steps()->ticked(1);
                     },
                     [&] { shoot(window.progresso(), "progresso.png"); });
                 window.actions().update_all();
                 if (!b02->isEnabled()) {
                     std::fprintf(stderr, "quillora_screenshots: no output folder set\n");
                     ++g_failures;
                 }
                 b02->click();
                 QApplication::quit();
             });
         });
    QApplication::exec();
    return g_failures == 0 ? 0 : 1;
}
