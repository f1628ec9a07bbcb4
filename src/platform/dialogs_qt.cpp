#include "platform/dialogs_qt.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace quillora {
namespace {

class QtDialogs final : public Dialogs {
  public:
    std::optional<QString> pick_folder(QWidget* parent, const QString& initial) override {
        const QString start = initial.isEmpty() ? QDir::homePath() : initial;
        QString chosen = QFileDialog::getExistingDirectory(parent, QString(), start);
        if (chosen.isEmpty())
            return std::nullopt;
        return QDir::toNativeSeparators(chosen);
    }
    void warn(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox::warning(parent, title, text);
    }
};

Dialogs* g_replacement = nullptr;

}  // namespace

Dialogs& dialogs() {
    static QtDialogs qt_dialogs;
    return g_replacement ? *g_replacement : qt_dialogs;
}

void set_dialogs(Dialogs* replacement) noexcept {
    g_replacement = replacement;
}

}  // namespace quillora
