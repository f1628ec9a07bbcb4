// The standard dialogs the windows use, behind one small interface so tests
// can answer them as a user would.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace quillora {

// Makes the preview picture of a file (may fail with any exception).
using PreviewMaker = std::function<QImage(const QString& path)>;

enum class ListBoxKind { Information, Warning };

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A folder picker; `initial` preselects a folder when not empty.
    // Nothing when cancelled.
    virtual std::optional<QString> pick_folder(QWidget* parent, const QString& initial) = 0;
    // The picture-open dialog: several files at once (a typed name need not
    // exist), a filter in the "description|*.a;*.b" form, the initial folder,
    // and the file chosen the last time (its folder is where the dialog
    // starts then); `preview` makes
    // the picture shown beside the list for the selected file. Nothing when
    // cancelled; otherwise the full paths in the order the dialog gives them.
    virtual std::optional<QStringList> open_pictures(QWidget* parent, const QString& filter,
                                                     const QString& directory,
                                                     const QString& last_file,
                                                     const PreviewMaker& preview) = 0;
    // The save and open dialogs of list files ("Lista de Arquivos de
    // Imagens|*.lai"); saving adds ".lai" to a name without extension and
    // replaces an existing file without asking. Nothing when cancelled.
    virtual std::optional<QString> save_list(QWidget* parent) = 0;
    virtual std::optional<QString> open_list(QWidget* parent) = 0;
    // The executable-open dialog ("Executável (*.exe)", then .dll files; the
    // name need not exist) and the icon-save dialog ("Icones (*.ico)", adds
    // ".ico", asks before replacing a file); each starts from the name chosen
    // in it the last time. Nothing when cancelled.
    virtual std::optional<QString> open_executable(QWidget* parent, const QString& last) = 0;
    virtual std::optional<QString> save_icon(QWidget* parent, const QString& last) = 0;
    // The capture-save dialog ("Bitmaps (*.bmp)", adds ".bmp" to a name
    // without extension, replaces an existing file without asking, a preview
    // of the selected picture beside the list); it starts from `last`.
    // Nothing when cancelled.
    virtual std::optional<QString> save_capture(QWidget* parent, const QString& last,
                                                const PreviewMaker& preview) = 0;
    // The system colour dialog starting at `initial`. Nothing when cancelled.
    virtual std::optional<QColor> pick_colour(QWidget* parent, const QColor& initial) = 0;
    // A warning with an OK button.
    virtual void warn(QWidget* parent, const QString& title, const QString& text) = 0;
    // An information or a warning followed by a list of lines the user can
    // scroll, select and copy (a line too long for the box wraps), with an
    // OK button that Enter presses.
    virtual void list_box(QWidget* parent, ListBoxKind kind, const QString& title,
                          const QString& text, const QStringList& lines) = 0;
};

// A filter in the "description|*.a;*.b" form as Qt's file dialogs take it:
// "description (*.a *.b)".
QString qt_file_filter(const QString& filter);

// The width a window needs for the desktop's title bar to show `title`
// whole: the title in a bold font half as large again as the window's (title
// bars use a larger font than the program's own), beside the window's icon
// and its buttons.
int title_bar_width(const QWidget& window, const QString& title);

// The dialogs in use: Qt's own unless a test installed others.
Dialogs& dialogs();
// Installs other dialogs (not owned); nullptr restores Qt's own.
void set_dialogs(Dialogs* replacement) noexcept;

}  // namespace quillora
