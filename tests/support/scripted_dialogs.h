// Standard dialogs answered by the test as a user would; each answer
// defaults to cancelling. Installed for as long as the object lives.
#pragma once

#include <functional>

#include "platform/dialogs_qt.h"

namespace quillora::testing {

struct ScriptedDialogs : Dialogs {
    std::function<std::optional<QString>(const QString& initial)> folder;
    std::function<std::optional<QStringList>(const QString& filter, const QString& directory,
                                             const QString& last_file)>
        pictures;
    std::optional<QString> list_to_save, list_to_open, executable, icon_file, capture_file;
    std::optional<QColor> colour;
    // What the capture-save and colour dialogs were opened with.
    QStringList capture_last;
    QList<QColor> colour_initial;
    QStringList warnings;
    QStringList informations;

    ScriptedDialogs() { set_dialogs(this); }
    ~ScriptedDialogs() override { set_dialogs(nullptr); }

    std::optional<QString> pick_folder(QWidget*, const QString& initial) override {
        return folder ? folder(initial) : std::nullopt;
    }
    std::optional<QStringList> open_pictures(QWidget*, const QString& filter,
                                             const QString& directory, const QString& last_file,
                                             const PreviewMaker&) override {
        return pictures ? pictures(filter, directory, last_file) : std::nullopt;
    }
    std::optional<QString> save_list(QWidget*) override { return list_to_save; }
    std::optional<QString> open_list(QWidget*) override { return list_to_open; }
    std::optional<QString> open_executable(QWidget*, const QString&) override { return executable; }
    std::optional<QString> save_icon(QWidget*, const QString&) override { return icon_file; }
    std::optional<QString> save_capture(QWidget*, const QString& last,
                                        const PreviewMaker&) override {
        capture_last << last;
        return capture_file;
    }
    std::optional<QColor> pick_colour(QWidget*, const QColor& initial) override {
        colour_initial << initial;
        return colour;
    }
    void warn(QWidget*, const QString&, const QString& text) override { warnings << text; }
    // Each list box as its text, then its lines, one per line.
    void list_box(QWidget*, ListBoxKind kind, const QString&, const QString& text,
                  const QStringList& lines) override {
        (kind == ListBoxKind::Warning ? warnings : informations)
            << (QStringList{text} + lines).join('\n');
    }
};

}  // namespace quillora::testing
