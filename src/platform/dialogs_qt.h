// The standard dialogs the windows use, behind one small interface so tests
// can answer them as a user would.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace quillora {

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A folder picker; `initial` preselects a folder when not empty.
    // Nothing when cancelled.
    virtual std::optional<QString> pick_folder(QWidget* parent, const QString& initial) = 0;
    // A warning with an OK button.
    virtual void warn(QWidget* parent, const QString& title, const QString& text) = 0;
};

// The dialogs in use: Qt's own unless a test installed others.
Dialogs& dialogs();
// Installs other dialogs (not owned); nullptr restores Qt's own.
void set_dialogs(Dialogs* replacement) noexcept;

}  // namespace quillora
