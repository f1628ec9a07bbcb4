#include "app/frm_erro.h"

#include <QApplication>
#include <QPointer>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QToolTip>
#include <cstdio>
#include <new>
#include <typeinfo>

#include "platform/default_button_qt.h"
#include "platform/error.h"
#include "platform/maker.h"
#include "ui_frm_erro.h"

namespace quillora {
namespace {

bool g_failure_reported = false;
bool g_reporting = false;
QPointer<QWidget> g_main_window;
QPointer<TFormErro> g_standby;

}  // namespace

TFormErro::TFormErro(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TFormErro>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(":/erro.svg"));
    QPalette palette = ui_->mensagem->palette();
    palette.setColor(QPalette::Base, QToolTip::palette().color(QPalette::ToolTipBase));
    palette.setColor(QPalette::Text, QToolTip::palette().color(QPalette::ToolTipText));
    ui_->mensagem->setPalette(palette);
    QFont base("Arial");
    base.setPixelSize(12);
    base.setBold(true);
    ui_->mensagem->document()->setDefaultFont(base);
    // Enter in the message box presses OK rather than adding a line.
    enter_presses_default(*this);
}

TFormErro::~TFormErro() = default;

void TFormErro::set_report(const QString& message, const QString& place_code) {
    QTextDocument* document = ui_->mensagem->document();
    document->clear();
    QTextCursor cursor(document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.setBlockFormat(centred);

    QTextCharFormat base;
    cursor.insertText(QString::fromUtf8("Ocorreu o Seguinte Erro: - %1 , no endereço: %2")
                          .arg(message, place_code),
                      base);
    cursor.insertBlock(centred);  // line 2, empty

    // Italic alone: the box's base font is bold, and this line is not.
    QTextCharFormat italic;
    italic.setFontItalic(true);
    italic.setFontWeight(QFont::Normal);
    italic.setFontPointSize(8);
    cursor.insertBlock(centred, italic);
    cursor.insertText(
        QString::fromUtf8("Necessito de uma descrição passo a passo do que você fez para que "
                          "ocorresse esse erro. Essa informação é importantíssima para a "
                          "descoberta deste problema."),
        italic);
    cursor.insertBlock(centred, italic);  // line 4, empty

    QTextCharFormat red;
    red.setFontWeight(QFont::Bold);
    red.setForeground(QColor(255, 0, 0));
    red.setFontPointSize(9);
    cursor.insertBlock(centred, red);
    cursor.insertText(QStringLiteral("Acesse: ") + QString::fromUtf8(kSupportPage), red);
    ui_->mensagem->moveCursor(QTextCursor::Start);
}

std::string failure_place_code(const std::exception& failure) {
    if (const auto* error = dynamic_cast<const Error*>(&failure))
        return error->place_code();
    // Any other failure: a stable code from the kind of failure.
    std::uint32_t h = 2166136261u;
    for (const char* p = typeid(failure).name(); *p; ++p) {
        h = (h ^ static_cast<unsigned char>(*p)) * 16777619u;
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(h));
    return text;
}

void aplicacaoException(QObject* /*sender*/, const std::exception& failure) {
    g_failure_reported = true;
    if (!g_reporting) {
        g_reporting = true;
        try {
            QWidget* over = QApplication::activeModalWidget();
            if (!over)
                over = g_main_window;
            // Making a window needs memory: without it the report goes into
            // the window made at start.
            std::unique_ptr<TFormErro> fresh;
            if (dynamic_cast<const std::bad_alloc*>(&failure) == nullptr || !g_standby) {
                try {
                    fresh = std::make_unique<TFormErro>(over);
                } catch (...) {
                    if (!g_standby)
                        throw;
                }
            }
            TFormErro* window = fresh ? fresh.get() : g_standby.data();
            window->set_report(QString::fromLocal8Bit(failure.what()),
                               QString::fromStdString(failure_place_code(failure)));
            if (g_main_window) {
                QRect area = g_main_window->frameGeometry();
                window->move(area.center() - window->rect().center());
            }
            window->exec();
        } catch (...) {
            // Composing or showing the report failed: the program still ends.
        }
        g_reporting = false;
    }
    // Every running event loop returns (a modal dialog as cancelled), and a
    // loop started from now on returns at once.
    QCoreApplication::exit(1);
}

bool failure_reported() noexcept {
    return g_failure_reported;
}

void set_failure_main_window(QWidget* window) noexcept {
    g_main_window = window;
}

void set_standby_error_window(TFormErro* window) noexcept {
    g_standby = window;
}

}  // namespace quillora
