// Enter presses the default button of every window that has one, whichever
// control has the keyboard focus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "app/frm_erro.h"
#include "app/frm_sobre.h"
#include "filelist/frm_definir.h"
#include "settings/frm_config.h"
#include "support/qt_print.h"
#include "tools/frm_executavel.h"

namespace quillora {
namespace {

// Gives `control` the keyboard focus in its active window and presses Enter
// there, as the user does. A popup that Enter opened instead is closed and
// reported.
bool press_enter_in(QWidget* control) {
    control->setFocus(Qt::TabFocusReason);
    bool popup_opened = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup_opened = true;
            popup->close();
        }
    });
    closer.start(0);
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : control;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
    return !popup_opened;
}

// Whether `control` shows in `window` once its page of a page control is
// the current one.
bool on_show(const QWidget* control, const QWidget* window) {
    for (const QWidget* w = control; w != window; w = w->parentWidget()) {
        if (w->isHidden() && !qobject_cast<const QStackedWidget*>(w->parentWidget()))
            return false;
    }
    return true;
}

// Makes current every page that holds `control`.
void bring_page_forward(const QWidget* control, const QWidget* window) {
    for (QWidget* up = control->parentWidget(); up != window; up = up->parentWidget()) {
        if (auto* pages = qobject_cast<QTabWidget*>(up)) {
            for (int i = 0; i < pages->count(); ++i) {
                if (pages->widget(i)->isAncestorOf(control))
                    pages->setCurrentIndex(i);
            }
        }
    }
}

struct Window {
    const char* name;
    std::function<std::unique_ptr<QDialog>()> make;
    // Controls that must be among those tried.
    std::vector<QString> among;
};
void PrintTo(const Window& window, std::ostream* out) {
    *out << window.name;
}

class EnterKey : public ::testing::TestWithParam<Window> {};

TEST_P(EnterKey, PressesTheDefaultButtonWhereverTheFocusIs) {
    std::unique_ptr<QDialog> dialog = GetParam().make();
    dialog->show();
    dialog->activateWindow();
    QApplication::processEvents();
    // The control where the focus starts first, then every other one.
    std::vector<QWidget*> controls;
    if (QWidget* start = dialog->focusWidget())
        controls.push_back(start);
    for (QWidget* control : dialog->findChildren<QWidget*>()) {
        if (control->focusPolicy() != Qt::NoFocus && on_show(control, dialog.get()) &&
            control->isEnabled() && control->focusProxy() == nullptr &&
            std::find(controls.begin(), controls.end(), control) == controls.end())
            controls.push_back(control);
    }
    for (const QString& name : GetParam().among) {
        EXPECT_TRUE(std::any_of(controls.begin(), controls.end(), [&](QWidget* c) {
            return c->objectName() == name;
        })) << name.toStdString();
    }
    for (QWidget* control : controls) {
        bring_page_forward(control, dialog.get());
        dialog->setResult(0);
        dialog->show();
        dialog->activateWindow();
        QApplication::processEvents();
        const QString name = control->objectName();
        auto* box = qobject_cast<QTextEdit*>(control);
        const QString text_before = box ? box->toPlainText() : QString();
        EXPECT_TRUE(press_enter_in(control)) << name.toStdString() << ": opened a popup";
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << name.toStdString();
        EXPECT_FALSE(dialog->isVisible()) << name.toStdString();
        if (box) {
            EXPECT_EQ(box->toPlainText(), text_before) << name.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, EnterKey,
    ::testing::Values(Window{"erro",
                             [] {
                                 auto window = std::make_unique<TFormErro>();
                                 window->set_report("Stream read error", "0A1B2C3D");
                                 return std::unique_ptr<QDialog>(std::move(window));
                             },
                             {"mensagem", "BitBtn1"}},
                      Window{"config",
                             [] { return std::make_unique<Tform_config>(); },
                             {"dir_salvar", "manter_subpastas", "minimizar", "cor1", "cor2",
                              "linhash", "bt_cancelar"}},
                      Window{"definir",
                             [] { return std::make_unique<Tform_definir>(); },
                             {"s_01", "bt_cancelar"}},
                      Window{"executavel",
                             [] { return std::make_unique<Tform_executavel>(); },
                             {"nicon", "bt_cancelar"}},
                      Window{"sobre", [] { return std::make_unique<Tform_sobre>(); }, {"btok"}}),
    [](const ::testing::TestParamInfo<Window>& info) { return std::string(info.param.name); });

TEST(EnterKey, TheErrorWindowsMessageStaysEditable) {
    TFormErro window;
    window.set_report("Stream read error", "0A1B2C3D");
    auto* box = window.findChild<QTextEdit*>("mensagem");
    ASSERT_TRUE(box);
    EXPECT_FALSE(box->isReadOnly());
    window.show();
    box->setFocus();
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(box, &letter);
    EXPECT_TRUE(box->toPlainText().contains('x'));
    EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace quillora
