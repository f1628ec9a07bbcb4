#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <filesystem>

#include "app/action_table_qt.h"
#include "app/frm_principal.h"
#include "imaging/ico.h"
#include "platform/display.h"
#include "platform/files.h"
#include "support/qt_print.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"
#include "support/when_shown.h"
#include "tools/frm_executavel.h"

namespace quillora {
namespace {

const std::string kThreeGroups = std::string(QUILLORA_TEST_DATA) + "/exe/icons3_x64.exe";
const std::string kNoIcons = std::string(QUILLORA_TEST_DATA) + "/exe/noicons_x64.exe";

class IconDialog : public ::testing::Test {
  protected:
    void SetUp() override { dialog = std::make_unique<Tform_executavel>(); }
    template <class T>
    T* child(const char* name) {
        T* found = dialog->findChild<T*>(name);
        EXPECT_TRUE(found) << name;
        return found;
    }
    bool save_enabled() {
        dialog->actions().update_all();
        return child<QAbstractButton>("bt_salvar")->isEnabled();
    }
    void open(const std::string& path) {
        dialogs.executable = QString::fromStdString(path);
        child<QAbstractButton>("bt_open")->click();
    }
    QImage shown() const { return dialog->findChild<QLabel*>("Icone")->pixmap().toImage(); }

    display::ScopedDisplay screen{32};
    testing::TempDir dir;
    testing::ScriptedDialogs dialogs;
    std::unique_ptr<Tform_executavel> dialog;
};

TEST_F(IconDialog, StartsEmpty) {
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("Extrair Ícone Executável"));
    EXPECT_EQ(dialog->size(), QSize(372, 178));
    EXPECT_EQ(child<QLineEdit>("nomearquivo")->text(), "");
    EXPECT_TRUE(child<QLabel>("ntotal")->isHidden());
    EXPECT_EQ(child<QSpinBox>("nicon")->value(), 1);
    EXPECT_EQ(child<QSpinBox>("nicon")->maximum(), 1);
    EXPECT_FALSE(save_enabled());
    EXPECT_EQ(dialog->icon(), nullptr);
    open(kThreeGroups);
    dialogs.executable.reset();
    child<QAbstractButton>("bt_open")->click();  // cancelled: nothing changes
    EXPECT_EQ(child<QLineEdit>("nomearquivo")->text(), QString::fromStdString(kThreeGroups));
}

TEST_F(IconDialog, StepsThroughTheIconsAndSavesTheOneOnShow) {
    open(kThreeGroups);
    EXPECT_EQ(child<QLabel>("ntotal")->text(), QString::fromUtf8("3 Ícone(s) Encontrado(s)"));
    EXPECT_FALSE(child<QLabel>("ntotal")->isHidden());
    auto* number = child<QSpinBox>("nicon");
    EXPECT_EQ(number->maximum(), 3);
    ASSERT_NE(dialog->icon(), nullptr);
    const QImage first = shown();
    number->setValue(2);
    ASSERT_NE(dialog->icon(), nullptr);
    EXPECT_NE(shown(), first);
    number->setValue(9);
    EXPECT_EQ(number->value(), 3);

    number->setValue(2);
    const std::string saved = dir.file("segundo.ico");
    dialogs.icon_file = QString::fromStdString(saved);
    ASSERT_TRUE(save_enabled());
    child<QAbstractButton>("bt_salvar")->click();
    ASSERT_TRUE(files::exists(saved));
    // The written file draws the icon that was on show.
    IconPicture written = IconPicture::read(saved);
    const IconImage& back = written.image();
    EXPECT_EQ(icon_to_image(back), icon_to_image(*dialog->icon()));

    // Another file: back to number 1 and its first icon.
    number->setValue(3);
    open(std::string(QUILLORA_TEST_DATA) + "/exe/icon1_x64.dll");
    EXPECT_EQ(number->value(), 1);
    EXPECT_EQ(number->maximum(), 1);
    EXPECT_EQ(child<QLabel>("ntotal")->text(), QString::fromUtf8("1 Ícone(s) Encontrado(s)"));
}

TEST_F(IconDialog, FileWithoutIcons) {
    open(kNoIcons);
    EXPECT_EQ(child<QLabel>("ntotal")->text(), QString::fromUtf8("0 Ícone(s) Encontrado(s)"));
    EXPECT_EQ(dialog->icon(), nullptr);
    EXPECT_TRUE(shown().isNull());
    EXPECT_TRUE(save_enabled());
    dialogs.icon_file = QString::fromStdString(dir.file("nada.ico"));
    child<QAbstractButton>("bt_salvar")->click();
    ASSERT_EQ(dialogs.warnings.size(), 1);
    EXPECT_TRUE(dialogs.warnings[0].startsWith("System Error.  Code: 1402."));
    EXPECT_FALSE(files::exists(dir.file("nada.ico")));
}

TEST_F(IconDialog, EveryOpeningStartsAfresh) {
    Tform_principal window;
    window.create_windows();
    window.show();
    std::vector<QString> names;
    for (int round = 0; round < 2; ++round) {
        testing::WhenShown<Tform_executavel> answer([&](Tform_executavel* opened) {
            names.push_back(opened->findChild<QLineEdit*>("nomearquivo")->text());
            dialogs.executable = QString::fromStdString(kThreeGroups);
            opened->findChild<QAbstractButton*>("bt_open")->click();
            opened->reject();
        });
        window.findChild<QAbstractButton*>("b03")->click();
    }
    EXPECT_EQ(names, (std::vector<QString>{"", ""}));
}

}  // namespace
}  // namespace quillora
