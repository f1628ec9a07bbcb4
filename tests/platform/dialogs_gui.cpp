// The program's own standard dialogs, answered as a user would.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextLayout>

#include "app/frm_principal.h"
#include "filelist/frm_definir.h"
#include "imaging/bmp.h"
#include "platform/action_table_qt.h"
#include "platform/dialogs_qt.h"
#include "support/fixtures.h"
#include "support/qt_print.h"
#include "support/temp_dir.h"
#include "support/when_shown.h"

namespace quillora {
namespace {

using testing::TempDir;

// Types `names` into the file dialog's name field and presses its Open
// button. Whatever the dialog refuses is noted in `refused` and the dialog
// is cancelled, so nothing waits for a message box.
void type_and_open(QFileDialog* dialog, const QString& names, QString& refused) {
    auto* field = dialog->findChild<QLineEdit*>("fileNameEdit");
    auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
    if (field == nullptr || buttons == nullptr) {
        refused = "no name field or buttons";
        return dialog->reject();
    }
    // The user types into the field, which has the keyboard focus.
    dialog->activateWindow();
    QApplication::processEvents();
    field->setFocus();
    if (!field->hasFocus()) {
        refused = "the name field has no focus";
        return dialog->reject();
    }
    field->setText(names);
    QPushButton* open = buttons->button(QDialogButtonBox::Open);
    if (open == nullptr || !open->isEnabled()) {
        refused = "Open is disabled for " + names;
        return dialog->reject();
    }
    open->click();
    if (dialog->isVisible()) {
        refused = "the dialog stayed open for " + names;
        dialog->reject();
    }
}

class PictureOpenDialog : public ::testing::Test {
  protected:
    std::string picture(const std::string& name) {
        write_bmp(testing::pattern_bitmap(8, 8), dir.file(name));
        return dir.file(name);
    }
    QString folder() const { return QString::fromStdString(dir.path().string()); }

    TempDir dir;
};

TEST_F(PictureOpenDialog, TypedNamesThatDoNotExistAreChosenAllTheSame) {
    const QString there = QString::fromStdString(picture("ali.bmp"));
    const QString missing = QString::fromStdString(dir.file("nenhum.bmp"));
    const struct {
        QString typed;
        QStringList chosen;
    } cases[] = {
        {"nenhum.bmp", {missing}},
        {missing, {missing}},
        {"\"ali.bmp\" \"nenhum.bmp\"", {there, missing}},
        {"ali.bmp", {there}},
    };
    for (const auto& c : cases) {
        QString refused;
        bool several = false;
        testing::WhenShown<QFileDialog> answer([&](QFileDialog* dialog) {
            auto* list = dialog->findChild<QAbstractItemView*>("listView");
            several = list && list->selectionMode() == QAbstractItemView::ExtendedSelection;
            type_and_open(dialog, c.typed, refused);
        });
        const auto chosen = dialogs().open_pictures(nullptr, "Imagem Bitmap (*.bmp)|*.bmp",
                                                    folder(), QString(), {});
        EXPECT_TRUE(answer.answered()) << c.typed.toStdString();
        EXPECT_EQ(refused, "") << c.typed.toStdString();
        EXPECT_EQ(chosen.value_or(QStringList{"cancelled"}), c.chosen) << c.typed.toStdString();
        EXPECT_TRUE(several) << c.typed.toStdString();
    }
}

TEST_F(PictureOpenDialog, AMissingNameIsAppendedToTheList) {
    const std::string there = picture("ali.bmp");
    Tform_principal window;
    window.create_windows();
    window.show();
    window.findChild<QLineEdit*>("diretorio_buscar")->setText(folder());
    QString refused;
    testing::WhenShown<QWidget> answer([&](QWidget* modal) {
        if (auto* choice = qobject_cast<Tform_definir*>(modal)) {
            choice->findChild<QRadioButton*>("s_01")->setChecked(true);
            choice->findChild<QPushButton*>("bt_ok")->click();
        }
    });
    testing::WhenShown<QFileDialog> open([&](QFileDialog* dialog) {
        type_and_open(dialog, "\"ali.bmp\" \"digitado.bmp\"", refused);
    });
    window.actions().update_all();
    window.findChild<QAbstractButton*>("bt_buscar")->click();
    EXPECT_EQ(refused, "");
    EXPECT_EQ(window.shown_list(), (std::vector<std::string>{there, dir.file("digitado.bmp")}));
}

// The program's title stays whole in the title bar of every message box,
// however short the message and whatever the font.
TEST(MessageBoxes, WideEnoughForTheirTitle) {
    const QString title = "Quillora 1.0";
    const QFont normal = QApplication::font();
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        QFont font = normal;
        font.setPointSizeF(normal.pointSizeF() * scale);
        QApplication::setFont(font);
        // The title in a bold font of the box's size, beside three buttons.
        QFont bold = font;
        bold.setBold(true);
        const int least = QFontMetrics(bold).horizontalAdvance(title) +
                          3 * QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
        int warning = 0, list = 0;
        {
            testing::WhenShown<QMessageBox> answer([&](QMessageBox* box) {
                warning = box->width();
                box->accept();
            });
            dialogs().warn(nullptr, title, "x");
        }
        {
            testing::WhenShown<QDialog> answer([&](QDialog* box) {
                list = box->width();
                box->accept();
            });
            dialogs().list_box(nullptr, ListBoxKind::Information, title, "x", {"y"});
        }
        EXPECT_GE(warning, least);
        EXPECT_GE(list, least);
    }
    QApplication::setFont(normal);
}

// No line of a list box is cut: a line longer than the box wraps, so none
// runs out of sight, and the box is as wide as its lines where it can be.
TEST(ListBoxes, LongLinesWrapAndShortOnesFit) {
    const QString path =
        "/home/usuario/Imagens/ferias/2023/IMG_0001.jpg: Bitmap image is not valid";
    const QString long_line = QString(30, 'z') + "/" + path + path + path + path + path;
    struct Seen {
        int horizontal_range = -1;
        int lines_of_first = 0, lines_of_long = 0;
        bool first_fits = false;
        bool list_inside = false;
    } seen;
    testing::WhenShown<QDialog> answer([&](QDialog* box) {
        auto* list = box->findChild<QPlainTextEdit*>("linhas");
        list->ensurePolished();
        QApplication::processEvents();
        seen.horizontal_range = list->horizontalScrollBar()->maximum();
        const QTextBlock first = list->document()->firstBlock();
        seen.lines_of_first = first.layout() ? first.layout()->lineCount() : 0;
        seen.lines_of_long = first.next().layout() ? first.next().layout()->lineCount() : 0;
        seen.first_fits = list->fontMetrics().horizontalAdvance(path) <= list->viewport()->width();
        // A window is given at most two thirds of the screen: the lines'
        // room must lie inside what the box was given.
        seen.list_inside = box->rect().contains(list->geometry());
        box->accept();
    });
    dialogs().list_box(nullptr, ListBoxKind::Warning, "Quillora 1.0",
                       QString::fromUtf8("3 arquivo(s) não foram convertidos:"),
                       {path, long_line, QString::fromUtf8("1 arquivo(s) não iniciados")});
    EXPECT_TRUE(answer.answered());
    EXPECT_EQ(seen.horizontal_range, 0);
    EXPECT_EQ(seen.lines_of_first, 1);  // the box is wide enough for a usual line
    EXPECT_TRUE(seen.first_fits);
    EXPECT_GT(seen.lines_of_long, 1);
    EXPECT_TRUE(seen.list_inside);
}

}  // namespace
}  // namespace quillora
