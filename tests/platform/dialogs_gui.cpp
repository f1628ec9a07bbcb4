// The program's own standard dialogs, answered as a user would.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

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

}  // namespace
}  // namespace quillora
