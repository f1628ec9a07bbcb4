#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "app/frm_principal.h"
#include "filelist/list_delegate_qt.h"
#include "platform/error.h"
#include "settings/colour_picker_qt.h"
#include "settings/frm_config.h"
#include "settings/settings_store.h"
#include "support/qt_print.h"
#include "support/scripted_dialogs.h"
#include "support/stored_settings.h"
#include "support/when_shown.h"

namespace quillora {
namespace {

using testing::StoredSettings;

template <class T>
T* child(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(name);
    EXPECT_TRUE(found) << name;
    return found;
}

// Values of the settings key as name = text, in the file's order.
std::vector<std::string> stored_values(const StoredSettings& stored) {
    std::vector<std::string> lines;
    for (const settings::Value& value : stored.store().read_values()) {
        if (value.type == settings::kRegDword)
            lines.push_back(value.name + "=" + std::to_string(settings::integer_of(&value, -1)));
        else
            lines.push_back(value.name + "=" + settings::text_of(&value, "?"));
    }
    return lines;
}

class OptionsDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<Tform_principal>();
        window->create_windows();
        window->show();
    }
    // Clicks b05 and lets `act` work on the dialog while it is shown; the
    // dialog is closed by `act`. False when no options dialog came up.
    bool open_options(const std::function<void(Tform_config&)>& act) {
        bool seen = false;
        testing::WhenShown<QWidget> answer([&](QWidget* modal) {
            if (auto* dialog = qobject_cast<Tform_config*>(modal)) {
                seen = true;
                act(*dialog);
            } else {
                modal->close();
            }
        });
        child<QAbstractButton>(window.get(), "b05")->click();
        return seen;
    }
    bool ok(const std::function<void(Tform_config&)>& change = {}) {
        return open_options([&](Tform_config& dialog) {
            if (change)
                change(dialog);
            child<QAbstractButton>(&dialog, "bt_ok")->click();
        });
    }
    ListDelegate* delegate() const {
        return qobject_cast<ListDelegate*>(
            window->findChild<QListWidget*>("lista_arquivos")->itemDelegate());
    }
    QLineEdit* main_field(const char* name) const { return window->findChild<QLineEdit*>(name); }

    StoredSettings stored;
    testing::ScriptedDialogs dialogs;
    std::unique_ptr<Tform_principal> window;
};

TEST_F(OptionsDialog, Layout) {
    Tform_config dialog;
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Opções de Configurações"));
    EXPECT_EQ(dialog.size(), QSize(409, 266));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    auto* pages = child<QTabWidget>(&dialog, "paginas");
    EXPECT_EQ(pages->geometry(), QRect(8, 8, 393, 209));
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), QString::fromUtf8("Diretórios"));
    EXPECT_EQ(pages->tabText(1), "Capturar Desktop");
    EXPECT_EQ(pages->tabText(2), "Lista de Arquivos");
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(pages->tabBar()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(pages->tabBar()->tabRect(0).height(), 24);
    const std::pair<const char*, QRect> places[] = {
        {"dir_salvar", {8, 40, 369, 21}},
        {"dir_buscar", {8, 88, 369, 21}},
        {"minimizar", {8, 24, 369, 17}},
        {"cor1", {8, 24, 113, 22}},
        {"cor2", {8, 48, 113, 22}},
        {"linhash", {8, 80, 369, 17}},
        {"bt_ok", {102, 228, 99, 29}},
        {"bt_cancelar", {206, 228, 99, 29}},
        {"manter_subpastas", {8, 120, 369, 17}},
    };
    for (const auto& [name, place] : places)
        EXPECT_EQ(child<QWidget>(&dialog, name)->geometry(), place) << name;
    // The folder page holds the new box whole, below the two folder fields.
    auto* keep = child<QCheckBox>(&dialog, "manter_subpastas");
    EXPECT_EQ(keep->parentWidget(), pages->widget(0));
    EXPECT_EQ(keep->text(),
              QString::fromUtf8("Recriar as Subpastas das Imagens no Diretório de Salvar"));
    EXPECT_TRUE(pages->widget(0)->rect().contains(keep->geometry()));
    EXPECT_LE(keep->sizeHint().width(), keep->width());
    EXPECT_LE(keep->sizeHint().height(), keep->height() + 4);
    EXPECT_EQ(child<QCheckBox>(&dialog, "minimizar")->text(),
              "Minimizar o Programa Na Captura do Desktop");
    EXPECT_EQ(child<QCheckBox>(&dialog, "linhash")->text(), "Linhas Horizontais");
    EXPECT_TRUE(child<QPushButton>(&dialog, "bt_ok")->isDefault());
    EXPECT_EQ(child<QPushButton>(&dialog, "bt_cancelar")->text(), "Cancelar");
}

// At a font half as large again no text is cut at the right: the dialog
// grows, its texts and tabs fit, everything stays inside its page, and the
// buttons stay centred.
TEST_F(OptionsDialog, LargerFontsWidenTheDialog) {
    const QFont normal = QApplication::font();
    QFont large = normal;
    large.setPointSizeF(normal.pointSizeF() * 1.5);
    QApplication::setFont(large);
    {
        Tform_config dialog;
        auto* pages = child<QTabWidget>(&dialog, "paginas");
        EXPECT_GT(dialog.width(), 409);
        EXPECT_LE(pages->tabBar()->sizeHint().width(), pages->width());
        for (const char* name : {"c_salvar", "c_buscar", "manter_subpastas", "minimizar", "c_cor1",
                                 "c_cor2", "linhash"}) {
            auto* text = child<QWidget>(&dialog, name);
            EXPECT_LE(text->sizeHint().width(), text->width()) << name;
            EXPECT_TRUE(text->parentWidget()->rect().contains(text->geometry())) << name;
        }
        EXPECT_TRUE(dialog.rect().contains(pages->geometry()));
        auto* ok_button = child<QWidget>(&dialog, "bt_ok");
        auto* cancel = child<QWidget>(&dialog, "bt_cancelar");
        EXPECT_NEAR(ok_button->x() + cancel->geometry().right(), dialog.width(), 4);
    }
    QApplication::setFont(normal);
}

TEST_F(OptionsDialog, FirstRunOkWritesAllValuesInOrder) {
    ASSERT_TRUE(open_options([](Tform_config& dialog) {
        EXPECT_EQ(child<QLineEdit>(&dialog, "dir_salvar")->text(), "");
        EXPECT_EQ(child<QLineEdit>(&dialog, "dir_buscar")->text(), "");
        EXPECT_FALSE(child<QCheckBox>(&dialog, "minimizar")->isChecked());
        EXPECT_FALSE(child<QCheckBox>(&dialog, "linhash")->isChecked());
        EXPECT_FALSE(child<QCheckBox>(&dialog, "manter_subpastas")->isChecked());
        EXPECT_EQ(child<ColourPicker>(&dialog, "cor1")->colour(), settings::kRed);
        EXPECT_EQ(child<ColourPicker>(&dialog, "cor2")->colour(), settings::kYellow);
        EXPECT_EQ(dialog.pos(), QPoint(0, 0) + (dialog.parentWidget()->frameGeometry().center() -
                                                dialog.rect().center()));
        child<QAbstractButton>(&dialog, "bt_ok")->click();
    }));
    const std::vector<std::string> expected = {
        "DirBuscar=",        "DirSalvar=",          "Minimizar=0",      "ListCor1=clRed",
        "ListCor2=clYellow", "LinhasHorizontais=0", "ManterSubpastas=0"};
    EXPECT_EQ(stored_values(stored), expected);
}

TEST_F(OptionsDialog, OkStoresTheControlsAndAppliesThemToTheMainWindow) {
    main_field("diretorio_salvar")->setText("/tmp/digitado");  // this run only
    ASSERT_TRUE(ok([](Tform_config& dialog) {
        child<QLineEdit>(&dialog, "dir_salvar")->setText(QString::fromUtf8("/tmp/saída"));
        child<QLineEdit>(&dialog, "dir_buscar")->setText("/tmp/fotos");
        child<QCheckBox>(&dialog, "minimizar")->setChecked(true);
        child<QCheckBox>(&dialog, "linhash")->setChecked(true);
        child<QCheckBox>(&dialog, "manter_subpastas")->setChecked(true);
        auto* background = child<ColourPicker>(&dialog, "cor1");
        child<QToolButton>(background->drop_down(), "cor_05")->click();  // navy
        auto* text = child<ColourPicker>(&dialog, "cor2");
        child<QToolButton>(text->drop_down(), "cor_27")->click();  // bright green
    }));
    const std::vector<std::string> expected = {"DirBuscar=/tmp/fotos",
                                               "DirSalvar=/tmp/sa\xC3\xAD"
                                               "da",
                                               "Minimizar=1",
                                               "ListCor1=clNavy",
                                               "ListCor2=clLime",
                                               "LinhasHorizontais=1",
                                               "ManterSubpastas=1"};
    EXPECT_EQ(stored_values(stored), expected);
    EXPECT_EQ(main_field("diretorio_salvar")->text(), QString::fromUtf8("/tmp/saída"));
    EXPECT_EQ(main_field("diretorio_buscar")->text(), "/tmp/fotos");
    EXPECT_EQ(delegate()->selection_background(), QColor(0, 0, 128));
    EXPECT_EQ(delegate()->selection_text(), QColor(0, 255, 0));
    EXPECT_TRUE(delegate()->grid_lines());

    // The next opening shows what was stored; a new main window starts with it.
    ASSERT_TRUE(open_options([](Tform_config& dialog) {
        EXPECT_EQ(child<QLineEdit>(&dialog, "dir_buscar")->text(), "/tmp/fotos");
        EXPECT_TRUE(child<QCheckBox>(&dialog, "minimizar")->isChecked());
        EXPECT_TRUE(child<QCheckBox>(&dialog, "manter_subpastas")->isChecked());
        EXPECT_EQ(child<ColourPicker>(&dialog, "cor1")->colour(), 0x800000u);
        dialog.reject();
    }));
    Tform_principal next;
    EXPECT_EQ(next.findChild<QLineEdit*>("diretorio_salvar")->text(),
              QString::fromUtf8("/tmp/saída"));
}

TEST_F(OptionsDialog, CancelEscAndTheCloseBoxWriteNothing) {
    const std::pair<const char*, std::function<void(Tform_config&)>> ways[] = {
        {"Cancelar", [](Tform_config& d) { child<QAbstractButton>(&d, "bt_cancelar")->click(); }},
        {"Esc",
         [](Tform_config& d) {
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(child<QLineEdit>(&d, "dir_salvar"), &escape);
         }},
        {"close box", [](Tform_config& d) { d.close(); }},
    };
    main_field("diretorio_salvar")->setText("/tmp/digitado");
    for (const auto& [way, close] : ways) {
        ASSERT_TRUE(open_options([&](Tform_config& dialog) {
            child<QLineEdit>(&dialog, "dir_salvar")->setText("/tmp/outro");
            child<QCheckBox>(&dialog, "linhash")->setChecked(true);
            close(dialog);
            EXPECT_FALSE(dialog.isVisible()) << way;
        })) << way;
        EXPECT_FALSE(std::filesystem::exists(stored.path())) << way;
        EXPECT_EQ(main_field("diretorio_salvar")->text(), "/tmp/digitado") << way;
        EXPECT_FALSE(delegate()->grid_lines()) << way;
    }
}

TEST_F(OptionsDialog, StoredValuesReadByTheirRules) {
    struct Case {
        const char* what;
        std::function<void(settings::SettingsStore&)> store;
        bool minimise, grid;
    };
    const Case cases[] = {
        {"dword 2 is off",
         [](auto& s) {
             s.write_integer("Minimizar", 2);
             s.write_integer("LinhasHorizontais", 2);
         },
         false, false},
        {"text 1 is on",
         [](auto& s) {
             s.write_text("Minimizar", "1");
             s.write_text("LinhasHorizontais", "1");
         },
         true, true},
        {"text $1 is on", [](auto& s) { s.write_text("Minimizar", "$1"); }, true, false},
        {"a word is off", [](auto& s) { s.write_text("LinhasHorizontais", "sim"); }, false, false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(stored.path());
        auto store = stored.store();
        c.store(store);
        ASSERT_TRUE(open_options([&](Tform_config& dialog) {
            EXPECT_EQ(child<QCheckBox>(&dialog, "minimizar")->isChecked(), c.minimise) << c.what;
            EXPECT_EQ(child<QCheckBox>(&dialog, "linhash")->isChecked(), c.grid) << c.what;
            dialog.reject();
        }));
    }
}

TEST_F(OptionsDialog, ColourTextsOfRedReadAsRedAndAreStoredByName) {
    for (const char* text : {"clred", "$000000FF", "255"}) {
        std::filesystem::remove(stored.path());
        stored.store().write_text("ListCor1", text);
        stored.store().write_text("ListCor2", text);
        ASSERT_TRUE(ok([&](Tform_config& dialog) {
            EXPECT_EQ(child<ColourPicker>(&dialog, "cor1")->colour(), settings::kRed) << text;
            EXPECT_EQ(child<ColourPicker>(&dialog, "cor2")->shown_colour(), QColor(Qt::red));
        }));
        EXPECT_EQ(stored.store().read_text("ListCor1"), "clRed") << text;
        EXPECT_EQ(delegate()->selection_text(), QColor(Qt::red)) << text;
    }
}

TEST_F(OptionsDialog, PickerEntries) {
    dialogs.colour = QColor(0x12, 0x34, 0x56);
    ASSERT_TRUE(ok([&](Tform_config& dialog) {
        auto* background = child<ColourPicker>(&dialog, "cor1");
        child<QToolButton>(background->drop_down(), "automatico")->click();
        EXPECT_EQ(background->colour(), settings::kColourDefault);
        auto* text = child<ColourPicker>(&dialog, "cor2");
        child<QToolButton>(text->drop_down(), "outras_cores")->click();
        // The colour dialog starts at the picker's colour.
        ASSERT_EQ(dialogs.colour_initial.size(), 1);
        EXPECT_EQ(dialogs.colour_initial[0], QColor(Qt::yellow));
    }));
    EXPECT_EQ(stored.store().read_text("ListCor1"), "clDefault");
    EXPECT_EQ(stored.store().read_text("ListCor2"), "$00563412");
    // "Automatic" is drawn with the system's selection colour.
    EXPECT_EQ(delegate()->selection_background(), window->palette().color(QPalette::Highlight));
    EXPECT_EQ(delegate()->selection_text(), QColor(0x12, 0x34, 0x56));

    // A custom colour equal to a named one is stored by its name; a
    // cancelled colour dialog changes nothing.
    dialogs.colour = QColor(0xC0, 0xDC, 0xC0);
    ASSERT_TRUE(ok([&](Tform_config& dialog) {
        child<QToolButton>(child<ColourPicker>(&dialog, "cor1")->drop_down(), "outras_cores")
            ->click();
        dialogs.colour.reset();
        child<QToolButton>(child<ColourPicker>(&dialog, "cor2")->drop_down(), "outras_cores")
            ->click();
    }));
    EXPECT_EQ(stored.store().read_text("ListCor1"), "clMoneyGreen");
    EXPECT_EQ(stored.store().read_text("ListCor2"), "$00563412");
}

TEST_F(OptionsDialog, PaletteHasFortyDistinctColours) {
    const auto colours = ColourPicker::palette_colours();
    ASSERT_EQ(colours.size(), 40u);
    std::set<settings::Colour> distinct;
    for (const auto& entry : colours)
        distinct.insert(entry.value);
    EXPECT_EQ(distinct.size(), 40u);
    Tform_config dialog;
    auto* picker = child<ColourPicker>(&dialog, "cor1");
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const QString name = QStringLiteral("cor_%1").arg(i, 2, 10, QLatin1Char('0'));
        picker->drop_down()->findChild<QToolButton*>(name)->click();
        EXPECT_EQ(picker->colour(), colours[i].value) << i;
    }
}

TEST_F(OptionsDialog, FolderFieldsBrowse) {
    dialogs.folder = [](const QString& initial) -> std::optional<QString> {
        return initial + "/escolhida";
    };
    ASSERT_TRUE(ok([](Tform_config& dialog) {
        auto* field = child<QLineEdit>(&dialog, "dir_buscar");
        field->setText("/tmp");
        field->findChild<QAction*>("procurar_buscar")->trigger();
        EXPECT_EQ(field->text(), "/tmp/escolhida");
    }));
    EXPECT_EQ(main_field("diretorio_buscar")->text(), "/tmp/escolhida");
}

TEST_F(OptionsDialog, AWriteFailureIsAWarningAndTheMainWindowStaysAsItWas) {
    // The settings key's folder cannot be made: a file has its name.
    const std::filesystem::path folder = std::filesystem::path(stored.path()).parent_path();
    std::filesystem::remove_all(folder);
    std::ofstream(folder.string()) << "x";
    main_field("diretorio_salvar")->setText("/tmp/digitado");
    ASSERT_TRUE(ok([](Tform_config& dialog) {
        child<QLineEdit>(&dialog, "dir_salvar")->setText("/tmp/outro");
        child<QCheckBox>(&dialog, "linhash")->setChecked(true);
    }));
    std::filesystem::remove(folder);
    ASSERT_EQ(dialogs.warnings.size(), 1);
    EXPECT_TRUE(dialogs.warnings[0].startsWith(QString::fromUtf8(
        "As opções não puderam ser gravadas.\nFailed to create key Software\\Quillora\\Config")))
        << qPrintable(dialogs.warnings[0]);
    EXPECT_EQ(main_field("diretorio_salvar")->text(), "/tmp/digitado");
    EXPECT_FALSE(delegate()->grid_lines());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(OptionsDialog, ABadColourFailsBeforeTheDialogShows) {
    stored.store().write_text("ListCor2", "amarelo");
    Tform_config dialog;
    try {
        dialog.read_settings(stored.store());
        ADD_FAILURE() << "no failure";
    } catch (const Error& failure) {
        EXPECT_STREQ(failure.what(), "'amarelo' is not a valid integer value");
    }
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace quillora
