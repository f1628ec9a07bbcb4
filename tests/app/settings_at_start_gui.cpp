#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTextEdit>
#include <cstdio>

#include "app/frm_erro.h"
#include "app/frm_principal.h"
#include "filelist/list_delegate_qt.h"
#include "settings/settings_store.h"
#include "support/qt_print.h"
#include "support/stored_settings.h"
#include "support/when_shown.h"

namespace quillora {
namespace {

using testing::StoredSettings;

TEST(SettingsAtStart, AppliedToTheMainWindow) {
    StoredSettings stored;
    auto store = stored.store();
    store.write_text("DirSalvar", "/tmp/saida");
    store.write_text("DirBuscar", "/tmp/fotos");
    store.write_text("ListCor1", "clNavy");
    store.write_text("ListCor2", "$0000FF00");  // green
    store.write_integer("LinhasHorizontais", 1);
    Tform_principal window;
    EXPECT_EQ(window.findChild<QLineEdit*>("diretorio_salvar")->text(), "/tmp/saida");
    EXPECT_EQ(window.findChild<QLineEdit*>("diretorio_buscar")->text(), "/tmp/fotos");
    auto* delegate = qobject_cast<ListDelegate*>(
        window.findChild<QListWidget*>("lista_arquivos")->itemDelegate());
    ASSERT_TRUE(delegate);
    EXPECT_EQ(delegate->selection_background(), QColor(0, 0, 128));
    EXPECT_EQ(delegate->selection_text(), QColor(0, 255, 0));
    EXPECT_TRUE(delegate->grid_lines());
}

TEST(SettingsAtStart, DefaultsWithoutSettings) {
    StoredSettings none;
    Tform_principal window;
    EXPECT_EQ(window.findChild<QLineEdit*>("diretorio_salvar")->text(), "");
    auto* delegate = qobject_cast<ListDelegate*>(
        window.findChild<QListWidget*>("lista_arquivos")->itemDelegate());
    EXPECT_EQ(delegate->selection_background(), QColor(Qt::red));
    EXPECT_EQ(delegate->selection_text(), QColor(Qt::yellow));
    EXPECT_FALSE(delegate->grid_lines());
}

// Starts the main window as the program does, answering the error window.
void start_with_a_bad_colour() {
    StoredSettings stored;
    stored.store().write_text("ListCor1", "vermelho");
    testing::WhenShown<TFormErro> answer([](TFormErro* report) {
        std::fprintf(stderr, "report[%s]\n",
                     qPrintable(report->findChild<QTextEdit*>("mensagem")->toPlainText()));
        report->accept();
    });
    try {
        Tform_principal window;
    } catch (const std::exception& failure) {
        aplicacaoException(nullptr, failure);
    }
    std::exit(failure_reported() ? 1 : 0);
}

TEST(SettingsAtStart, ABadColourIsReportedAndTheProgramEnds) {
    EXPECT_EXIT(start_with_a_bad_colour(), ::testing::ExitedWithCode(1),
                "report\\[Ocorreu o Seguinte Erro: - 'vermelho' is not a valid integer value , "
                "no endere\xC3\xA7o: [0-9A-F]{8}\n");
}

}  // namespace
}  // namespace quillora
