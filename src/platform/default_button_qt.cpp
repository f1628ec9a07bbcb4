#include "platform/default_button_qt.h"

#include <QDialog>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

namespace quillora {
namespace {

bool is_enter(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

// Turns Enter in a text box into a press of the dialog's default button.
class EnterToDefault : public QObject {
  public:
    explicit EnterToDefault(QDialog& dialog) : QObject(&dialog), dialog_(dialog) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !is_enter(static_cast<QKeyEvent&>(*event)))
            return QObject::eventFilter(watched, event);
        QPushButton* button = default_button();
        if (button == nullptr)
            return QObject::eventFilter(watched, event);
        if (button->isEnabled())
            button->click();
        return true;
    }

  private:
    QPushButton* default_button() const {
        for (QPushButton* button : dialog_.findChildren<QPushButton*>()) {
            if (button->isDefault() && button->isVisible())
                return button;
        }
        return nullptr;
    }

    QDialog& dialog_;
};

}  // namespace

void enter_presses_default(QDialog& dialog) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (!button->isDefault())
            button->setAutoDefault(false);
    }
    auto* filter = new EnterToDefault(dialog);
    for (QTextEdit* box : dialog.findChildren<QTextEdit*>())
        box->installEventFilter(filter);
    for (QPlainTextEdit* box : dialog.findChildren<QPlainTextEdit*>())
        box->installEventFilter(filter);
}

}  // namespace quillora
