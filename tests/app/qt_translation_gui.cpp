// Qt's own dialogs speak Portuguese: every standard dialog the windows open,
// through the program's dialog interface with Qt's real implementation.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTranslator>
#include <functional>
#include <memory>

#include "app/translations_qt.h"
#include "platform/dialogs_qt.h"
#include "support/qt_print.h"
#include "support/temp_dir.h"
#include "support/when_shown.h"

namespace quillora {
namespace {

using testing::WhenShown;

// The title, the labels and the button texts a dialog shows.
QStringList texts_of(QWidget* dialog) {
    QStringList texts{dialog->windowTitle()};
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->isVisibleTo(dialog) && !label->text().isEmpty())
            texts << label->text();
    }
    for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        if (button->isVisibleTo(dialog) && !button->text().isEmpty())
            texts << button->text();
    }
    return texts;
}

// Qt's widget dialogs, not the desktop's: the ones Qt's translation covers.
class QtDialogTexts : public ::testing::Test {
  protected:
    void SetUp() override {
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
        dir.write("icone1.ico", "existing");
    }
    void TearDown() override { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs, false); }

    // Opens a dialog with `open`, records its texts and cancels it.
    template <class T = QDialog>
    QStringList shown_texts(const std::function<void()>& open) {
        QStringList texts;
        WhenShown<T> answer([&](T* dialog) {
            texts = texts_of(dialog);
            dialog->reject();
        });
        open();
        EXPECT_TRUE(answer.answered());
        return texts;
    }

    testing::TempDir dir;
    QString folder = QString::fromStdString(dir.path().string());
    QWidget parent;
};

TEST_F(QtDialogTexts, EveryStandardDialogIsPortuguese) {
    const std::unique_ptr<QTranslator> portuguese(load_qt_translation());
    ASSERT_TRUE(portuguese) << "qtbase_pt_BR is not installed in "
                            << qt_translations_folder().toStdString();
    const PreviewMaker no_preview = [](const QString&) { return QImage(); };
    const QString icon = folder + "/icone1.ico";
    const struct {
        const char* name;
        std::function<void()> open;
        QStringList expected;
    } cases[] = {
        {"pick_folder",
         [&] { dialogs().pick_folder(&parent, folder); },
         {"Localizar a pasta", "Procurar em:", "Pasta:", "Abrir", "Cancelar"}},
        {"open_pictures",
         [&] {
             dialogs().open_pictures(&parent, "Imagem BMP|*.bmp", folder, QString(), no_preview);
         },
         {"Abrir", "Procurar em:", "&Nome do arquivo:", "Arquivos do tipo:", "&Abrir", "Cancelar"}},
        {"save_list",
         [&] { dialogs().save_list(&parent); },
         {"Salvar como", "Procurar em:", "&Nome do arquivo:", "&Salvar", "Cancelar"}},
        {"open_list",
         [&] { dialogs().open_list(&parent); },
         {"Abrir", "Procurar em:", "&Abrir", "Cancelar"}},
        {"open_executable",
         [&] { dialogs().open_executable(&parent, QString()); },
         {"Abrir", "Arquivos do tipo:", "&Abrir", "Cancelar"}},
        {"save_icon",
         [&] { dialogs().save_icon(&parent, icon); },
         {"Salvar como", "&Nome do arquivo:", "&Salvar", "Cancelar"}},
        {"save_capture",
         [&] { dialogs().save_capture(&parent, QString(), no_preview); },
         {"Salvar como", "Procurar em:", "&Salvar", "Cancelar"}},
        {"pick_colour",
         [&] { dialogs().pick_colour(&parent, Qt::red); },
         {"Selecionar cor", QString::fromUtf8("Cores &básicas"), "OK", "Cancelar"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList texts = shown_texts(c.open);
        for (const QString& text : c.expected)
            EXPECT_TRUE(texts.contains(text))
                << text.toStdString() << " not in " << texts.join(" | ").toStdString();
    }
}

// Saving an icon over an existing file asks first, in Portuguese, and
// "Sim" replaces it.
TEST_F(QtDialogTexts, ReplaceQuestionIsPortuguese) {
    const std::unique_ptr<QTranslator> portuguese(load_qt_translation());
    ASSERT_TRUE(portuguese);
    QString question;
    QStringList buttons;
    WhenShown<QMessageBox> replace([&](QMessageBox* box) {
        question = box->text();
        for (const QAbstractButton* button : box->buttons())
            buttons << button->text();
        box->button(QMessageBox::Yes)->click();
    });
    // QFileDialog::accept() is what its Save button calls.
    WhenShown<QFileDialog> save(
        [](QFileDialog* dialog) { static_cast<QDialog*>(dialog)->accept(); });
    const auto chosen = dialogs().save_icon(&parent, folder + "/icone1.ico");
    EXPECT_TRUE(replace.answered());
    EXPECT_EQ(question, QString::fromUtf8("icone1.ico já existe.\nDeseja substituí-la?"));
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({QString::fromUtf8("&Não"), "&Sim"}));
    EXPECT_EQ(chosen, std::optional<QString>(folder + "/icone1.ico"));
}

// Without the translation file the program goes on in silence, with Qt's
// English texts.
TEST_F(QtDialogTexts, MissingTranslationLeavesEnglishSilently) {
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { messages << text; });
    testing::TempDir empty;
    QTranslator* loaded = load_qt_translation(QString::fromStdString(empty.path().string()));
    qInstallMessageHandler(previous);
    EXPECT_EQ(loaded, nullptr);
    EXPECT_EQ(messages, QStringList());
    const QStringList texts = shown_texts([&] { dialogs().save_list(&parent); });
    EXPECT_TRUE(texts.contains("Save As")) << texts.join(" | ").toStdString();
    EXPECT_TRUE(texts.contains("Cancel")) << texts.join(" | ").toStdString();
}

}  // namespace
}  // namespace quillora
