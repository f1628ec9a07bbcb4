#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <filesystem>

#include "app/frm_principal.h"
#include "fuzz/hostile_inputs.h"
#include "imaging/ico.h"
#include "platform/action_table_qt.h"
#include "platform/display.h"
#include "platform/files.h"
#include "support/fixtures.h"
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

// An image larger than the icon size is shown reduced to fit it, keeping its
// shape, from the top-left corner; the rest is transparent.
TEST_F(IconDialog, LargerImagesAreShownReducedKeepingTheirShape) {
    const std::vector<std::uint8_t> file = testing::solid_icon_file(64, 32, 0xFF00FF);
    const std::vector<std::uint8_t> image(file.begin() + 22, file.end());
    open(dir.write("wide.exe", hostile::executable_with_icon(image, 64)));
    const QImage image_shown = shown();
    ASSERT_EQ(image_shown.size(), QSize(32, 32));
    EXPECT_EQ(image_shown.pixel(31, 15), qRgba(255, 0, 255, 255));
    EXPECT_EQ(qAlpha(image_shown.pixel(0, 16)), 0);
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

// Types `keys` into the number field (its text selected first, as a
// double click leaves it) and ends the typing by leaving the field or by Enter.
void type_number(QSpinBox* number, QWidget* elsewhere, const QString& keys, bool enter) {
    number->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(number->hasFocus());
    number->selectAll();
    QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QApplication::sendEvent(number, &erase);
    for (const QChar key : keys) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(key));
        QApplication::sendEvent(number, &press);
    }
    if (enter) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(number, &press);
    } else {
        elsewhere->setFocus(Qt::TabFocusReason);
        ASSERT_FALSE(number->hasFocus());
    }
}

TEST_F(IconDialog, TypedNumbersComeIntoTheRange) {
    open(kThreeGroups);
    auto* number = child<QSpinBox>("nicon");
    std::vector<QImage> icons;
    for (int n = 1; n <= 3; ++n) {
        number->setValue(n);
        icons.push_back(shown());
    }
    const struct {
        const char* typed;
        bool enter;
        int shown;
    } cases[] = {
        {"9", false, 3}, {"9", true, 3},   {"2", false, 2}, {"0", false, 1},
        {"", false, 1},  {"-4", false, 1}, {"45", true, 3}, {"99999999999999", false, 3},
        {"3", true, 3},  {"1", false, 1},
    };
    for (const auto& c : cases) {
        number->setValue(c.shown == 1 ? 2 : 1);  // so that every case changes the number
        dialog->show();
        dialog->activateWindow();
        QApplication::processEvents();
        type_number(number, child<QLineEdit>("nomearquivo"), QString::fromLatin1(c.typed), c.enter);
        EXPECT_EQ(number->value(), c.shown) << c.typed;
        EXPECT_EQ(number->text(), QString::number(c.shown)) << c.typed;
        EXPECT_TRUE(shown() == icons[static_cast<std::size_t>(c.shown - 1)]) << c.typed;
        // Enter also presses OK.
        EXPECT_EQ(dialog->isVisible(), !c.enter) << c.typed;
    }
}

TEST_F(IconDialog, OkAndCancelarShowTheirPictures) {
    for (const char* name : {"bt_ok", "bt_cancelar"}) {
        const QIcon icon = child<QAbstractButton>(name)->icon();
        EXPECT_FALSE(icon.isNull()) << name;
        EXPECT_FALSE(icon.pixmap(16, 16).toImage().isNull()) << name;
    }
    EXPECT_EQ(child<QAbstractButton>("bt_ok")->text(), "OK");
    EXPECT_EQ(child<QAbstractButton>("bt_cancelar")->text(), "Cancelar");
}

}  // namespace
}  // namespace quillora
