#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>
#include <regex>

#include "app/frm_erro.h"
#include "platform/error.h"

namespace quillora {
namespace {

// An object whose event handling fails, as an event handler of the program may.
class Failing : public QObject {
  public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw Error("Bitmap image is not valid");
        return QObject::event(e);
    }
};

// Waits for the error window, prints its text on standard error and presses OK.
void answer_error_window(bool close_box) {
    QTimer::singleShot(50, [close_box] {
        auto* window = qobject_cast<TFormErro*>(QApplication::activeModalWidget());
        if (!window)
            return answer_error_window(close_box);
        std::fprintf(stderr, "caption[%s]\n", qPrintable(window->windowTitle()));
        std::fprintf(stderr, "report[%s]\n",
                     qPrintable(window->findChild<QTextEdit*>("mensagem")->toPlainText()));
        if (close_box) {
            window->close();
        } else {
            window->findChild<QPushButton*>("BitBtn1")->click();
        }
    });
}

void fail_in_event_loop(bool close_box) {
    Failing failing;
    answer_error_window(close_box);
    QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    const int status = QApplication::exec();
    std::exit(failure_reported() ? status : 0);
}

TEST(ErrorWindow, FailureIsReportedAndTheProgramEndsWithStatusOne) {
    const std::string line1 =
        "report\\[Ocorreu o Seguinte Erro: - Bitmap image is not valid , no endere\xC3\xA7o: "
        "[0-9A-F]{8}\n\nNecessito de uma descri";
    EXPECT_EXIT(fail_in_event_loop(false), ::testing::ExitedWithCode(1),
                "caption\\[Erro de Programa !\\].*" + line1);
    EXPECT_EXIT(fail_in_event_loop(true), ::testing::ExitedWithCode(1), line1);
}

void fail_inside_modal_dialog() {
    QDialog dialog;
    Failing failing;
    answer_error_window(false);
    QTimer::singleShot(0, [&] { QCoreApplication::postEvent(&failing, new QEvent(QEvent::User)); });
    const int result = dialog.exec();
    std::fprintf(stderr, "dialog result %d\n", result);
    QDialog after;
    QTimer::singleShot(5000, &after, &QDialog::accept);
    std::fprintf(stderr, "later dialog result %d\n", after.exec());
    std::exit(failure_reported() ? 1 : 0);
}

TEST(ErrorWindow, FailureInsideADialogIsReportedOverItAndTheDialogReturnsCancelled) {
    EXPECT_EXIT(fail_inside_modal_dialog(), ::testing::ExitedWithCode(1),
                "Bitmap image is not valid.*dialog result 0\nlater dialog result 0");
}

TEST(ErrorWindow, ReportLines) {
    TFormErro window;
    window.set_report("Stream read error", "0A1B2C3D");
    const QString text = window.findChild<QTextEdit*>("mensagem")->toPlainText();
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(
        lines[0],
        QString::fromUtf8("Ocorreu o Seguinte Erro: - Stream read error , no endereço: 0A1B2C3D"));
    EXPECT_EQ(lines[1], "");
    EXPECT_TRUE(lines[2].startsWith(QString::fromUtf8("Necessito de uma descrição passo a passo")));
    EXPECT_EQ(lines[3], "");
    EXPECT_TRUE(lines[4].startsWith("Acesse: http"));
    EXPECT_EQ(window.size(), QSize(396, 194));
    EXPECT_EQ(failure_place_code(Error("x")).size(), 8u);
    EXPECT_EQ(failure_place_code(std::runtime_error("x")),
              failure_place_code(std::runtime_error("y")));
}

TEST(ErrorWindow, LineAttributes) {
    TFormErro window;
    window.set_report("Stream read error", "0A1B2C3D");
    QTextDocument* document = window.findChild<QTextEdit*>("mensagem")->document();
    const struct {
        int line;
        bool bold, italic;
        double points;
        QColor colour;
    } lines[] = {
        {1, true, false, 9, QColor()},  // the box's base font: Arial bold, 12 pixels
        {3, false, true, 8, QColor()},
        {5, true, false, 9, QColor(255, 0, 0)},
    };
    for (const auto& expected : lines) {
        const QTextBlock block = document->findBlockByNumber(expected.line - 1);
        ASSERT_TRUE(block.isValid()) << expected.line;
        EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter)
            << expected.line;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::NextCharacter);
        const QTextCharFormat format = cursor.charFormat();
        // What the line is drawn with: its own attributes over the box's font.
        const QFont font = format.font().resolve(document->defaultFont());
        EXPECT_EQ(font.bold(), expected.bold) << expected.line;
        EXPECT_EQ(font.italic(), expected.italic) << expected.line;
        if (expected.line == 1) {
            EXPECT_EQ(font.pixelSize(), 12);
            EXPECT_EQ(font.family(), "Arial");
        } else {
            EXPECT_EQ(font.pointSizeF(), expected.points) << expected.line;
        }
        if (expected.colour.isValid()) {
            EXPECT_EQ(format.foreground().color(), expected.colour) << expected.line;
        } else {
            EXPECT_FALSE(format.hasProperty(QTextFormat::ForegroundBrush)) << expected.line;
        }
    }
}

}  // namespace
}  // namespace quillora
