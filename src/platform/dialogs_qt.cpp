#include "platform/dialogs_qt.h"

#include <QAbstractItemView>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextDocument>
#include <algorithm>

namespace quillora {

QString qt_file_filter(const QString& filter) {
    const int bar = filter.indexOf('|');
    if (bar < 0)
        return filter;
    QString description = filter.left(bar).trimmed();
    // The description may already quote its patterns: "Imagem JPG (*.jpg; *.jpeg)".
    if (const int paren = description.indexOf('('); paren > 0)
        description = description.left(paren).trimmed();
    QStringList patterns = filter.mid(bar + 1).split(';', Qt::SkipEmptyParts);
    for (QString& pattern : patterns)
        pattern = pattern.trimmed();
    return description + " (" + patterns.join(' ') + ")";
}

namespace {

// A message and, below it, the lines it is about, read-only but selectable.
// The box is as wide as its longest line where the screen allows; a longer
// line wraps rather than running out of sight.
class ListBox : public QDialog {
  public:
    ListBox(QWidget* parent, ListBoxKind kind, const QString& title, const QString& text,
            const QStringList& lines)
        : QDialog(parent) {
        setWindowTitle(title);
        setObjectName("lista_falhas");
        auto* icon = new QLabel(this);
        const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        icon->setPixmap(style()
                            ->standardIcon(kind == ListBoxKind::Warning
                                               ? QStyle::SP_MessageBoxWarning
                                               : QStyle::SP_MessageBoxInformation,
                                           nullptr, this)
                            .pixmap(size, size));
        auto* label = new QLabel(text, this);
        label->setObjectName("texto");
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* list = new QPlainTextEdit(this);
        list->setObjectName("linhas");
        list->setReadOnly(true);
        list->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        list->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        list->setPlainText(lines.join('\n'));
        list->setAccessibleName(text);
        // The first lines tell the width well enough; a long list is not
        // measured line by line.
        int widest = 0;
        for (qsizetype i = 0; i < std::min<qsizetype>(lines.size(), 500); ++i)
            widest = std::max(widest, list->fontMetrics().horizontalAdvance(lines[i]));
        const QRect screen = this->screen()->availableGeometry();
        const int frame = 2 * list->frameWidth() +
                          2 * static_cast<int>(list->document()->documentMargin()) +
                          style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list) + 4;
        // Two thirds of the screen at most for the whole box, the icon's
        // column and the margins included; longer lines wrap.
        const int beside = size + 4 * style()->pixelMetric(QStyle::PM_LayoutLeftMargin) +
                           style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing);
        list->setMinimumSize(
            std::clamp(widest + frame, 480, std::max(480, screen.width() * 2 / 3 - beside)), 160);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
        QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
        ok->setDefault(true);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        auto* layout = new QGridLayout(this);
        layout->addWidget(icon, 0, 0, Qt::AlignTop);
        layout->addWidget(label, 0, 1);
        layout->addWidget(list, 1, 1);
        layout->addWidget(buttons, 2, 0, 1, 2);
        // As wide as the title needs, and never narrower than the lines'
        // room: an explicit minimum replaces the layout's own.
        setMinimumWidth(std::max(title_bar_width(*this, title), layout->minimumSize().width()));
        ok->setFocus();
    }

  protected:
    // Enter closes the box wherever the focus is; the lines stay as they are.
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            accept();
            return;
        }
        QDialog::keyPressEvent(event);
    }
};

const QString kListFilter = QStringLiteral("Lista de Arquivos de Imagens (*.lai)");

// The picture-open dialog with a preview of the selected picture beside the
// file list.
class PictureDialog : public QFileDialog {
  public:
    PictureDialog(QWidget* parent, const QString& filter, const QString& directory,
                  PreviewMaker preview)
        : QFileDialog(parent, QString(), directory, qt_file_filter(filter)),
          make_preview_(std::move(preview)) {
        setOption(QFileDialog::DontUseNativeDialog);
        setSizeGripEnabled(true);
        preview_ = new QLabel(this);
        preview_->setObjectName("previa");
        preview_->setFixedSize(180, 180);
        preview_->setAlignment(Qt::AlignCenter);
        preview_->setFrameShape(QFrame::StyledPanel);
        if (auto* grid = qobject_cast<QGridLayout*>(layout()))
            grid->addWidget(preview_, 0, grid->columnCount(), grid->rowCount(), 1);
        connect(this, &QFileDialog::currentChanged, this, &PictureDialog::show_preview);
    }

    // Several files at once, and a typed name need not exist. Qt's own
    // several-files mode refuses a name that is not there, and its other
    // modes take one name: this is the "any file" mode with the views'
    // several-at-once selection, and the names come from the name field.
    void choose_several_names() {
        setFileMode(QFileDialog::AnyFile);
        for (const char* view : {"listView", "treeView"}) {
            if (auto* shown = findChild<QAbstractItemView*>(view))
                shown->setSelectionMode(QAbstractItemView::ExtendedSelection);
        }
        several_names_ = true;
    }
    // The full paths chosen, in the order they stand in the name field.
    QStringList chosen() const { return several_names_ ? chosen_ : selectedFiles(); }

    void accept() override {
        if (!several_names_)
            return QFileDialog::accept();
        QStringList names;
        for (const QString& name : typed_names()) {
            if (!QFileInfo(name).isDir())
                names << name;
        }
        // Nothing but a folder: Qt's own handling opens it.
        if (names.isEmpty())
            return QFileDialog::accept();
        chosen_ = names;
        QDialog::accept();
    }

  private:
    // The names in the name field: one name, or several each in double
    // quotes (as the dialog writes a selection of several files), each
    // relative to the folder on show unless it is a full path.
    QStringList typed_names() const {
        const auto* field = findChild<QLineEdit*>("fileNameEdit");
        const QString text = field ? field->text() : QString();
        QStringList names;
        if (!text.contains('"')) {
            if (!text.trimmed().isEmpty())
                names << text;
        } else {
            const QStringList parts = text.split('"');
            for (qsizetype i = 1; i < parts.size(); i += 2) {
                if (!parts[i].isEmpty())
                    names << parts[i];
            }
        }
        const QDir folder = directory();
        for (QString& name : names)
            name = QDir::cleanPath(folder.absoluteFilePath(name));
        return names;
    }

    void show_preview(const QString& path) {
        preview_->clear();
        if (QFileInfo(path).isDir())
            return;
        try {
            QImage image = make_preview_ ? make_preview_(path) : QImage();
            if (image.width() > 176 || image.height() > 176)
                image = image.scaled(176, 176, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            preview_->setPixmap(QPixmap::fromImage(image));
        } catch (const std::exception&) {
            preview_->setText(QString::fromUtf8("Sem visualização"));
        }
    }

    PreviewMaker make_preview_;
    QLabel* preview_;
    bool several_names_ = false;
    QStringList chosen_;
};

class QtDialogs final : public Dialogs {
  public:
    std::optional<QString> pick_folder(QWidget* parent, const QString& initial) override {
        const QString start = initial.isEmpty() ? QDir::homePath() : initial;
        QString chosen = QFileDialog::getExistingDirectory(parent, QString(), start);
        if (chosen.isEmpty())
            return std::nullopt;
        return QDir::toNativeSeparators(chosen);
    }
    std::optional<QStringList> open_pictures(QWidget* parent, const QString& filter,
                                             const QString& directory, const QString& last_file,
                                             const PreviewMaker& preview) override {
        PictureDialog dialog(parent, filter, directory, preview);
        dialog.choose_several_names();
        if (!last_file.isEmpty())
            dialog.selectFile(last_file);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.chosen();
    }
    std::optional<QString> save_list(QWidget* parent) override {
        QFileDialog dialog(parent, QString(), QString(), kListFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("lai"));
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }
    std::optional<QString> open_list(QWidget* parent) override {
        QFileDialog dialog(parent, QString(), QString(), kListFilter);
        // A typed name need not exist: loading it then says so.
        dialog.setFileMode(QFileDialog::AnyFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }
    std::optional<QString> open_executable(QWidget* parent, const QString& last) override {
        QFileDialog dialog(parent, QString(), QString(),
                           QString::fromUtf8("Executável (*.exe);;Biblioteca (*.dll)"));
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!last.isEmpty())
            dialog.selectFile(last);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }
    std::optional<QString> save_icon(QWidget* parent, const QString& last) override {
        QFileDialog dialog(parent, QString(), QString(), QStringLiteral("Icones (*.ico)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("ico"));
        if (!last.isEmpty())
            dialog.selectFile(last);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }
    std::optional<QString> save_capture(QWidget* parent, const QString& last,
                                        const PreviewMaker& preview) override {
        PictureDialog dialog(parent, QStringLiteral("Bitmaps|*.bmp"), QString(), preview);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("bmp"));
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (!last.isEmpty())
            dialog.selectFile(last);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }
    std::optional<QColor> pick_colour(QWidget* parent, const QColor& initial) override {
        const QColor chosen = QColorDialog::getColor(initial, parent);
        if (!chosen.isValid())
            return std::nullopt;
        return chosen;
    }
    void warn(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
        // The box sizes itself to its text when shown; a row as wide as the
        // title bar needs keeps a short message from cutting the title.
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
            grid->addItem(new QSpacerItem(title_bar_width(box, title), 0, QSizePolicy::Minimum,
                                          QSizePolicy::Minimum),
                          grid->rowCount(), 0, 1, grid->columnCount());
        }
        box.exec();
    }
    void list_box(QWidget* parent, ListBoxKind kind, const QString& title, const QString& text,
                  const QStringList& lines) override {
        ListBox box(parent, kind, title, text, lines);
        box.exec();
    }
};

Dialogs* g_replacement = nullptr;

}  // namespace

int title_bar_width(const QWidget& window, const QString& title) {
    QFont font = window.font();
    font.setBold(true);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 1.5);
    else
        font.setPixelSize(font.pixelSize() * 3 / 2);
    const int buttons =
        4 * window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return QFontMetrics(font).horizontalAdvance(title) + buttons + 32;
}

Dialogs& dialogs() {
    static QtDialogs qt_dialogs;
    return g_replacement ? *g_replacement : qt_dialogs;
}

void set_dialogs(Dialogs* replacement) noexcept {
    g_replacement = replacement;
}

}  // namespace quillora
