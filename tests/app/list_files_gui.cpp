#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QTabBar>

#include "app/frm_principal.h"
#include "app/progress_bar_qt.h"
#include "imaging/bmp.h"
#include "platform/action_table_qt.h"
#include "support/fixtures.h"
#include "support/qt_print.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using testing::read_bytes;
using testing::TempDir;

class ListFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<Tform_principal>();
        window->create_windows();
        tab = window->findChild<QTabBar*>("Tab");
        list = window->findChild<QListWidget*>("lista_arquivos");
    }
    void click(const char* object) {
        window->actions().update_all();
        window->findChild<QAbstractButton*>(object)->click();
    }
    std::string text(const std::vector<std::uint8_t>& bytes) {
        return {bytes.begin(), bytes.end()};
    }

    TempDir dir;
    testing::ScriptedDialogs dialogs;
    std::unique_ptr<Tform_principal> window;
    QTabBar* tab = nullptr;
    QListWidget* list = nullptr;
};

TEST_F(ListFiles, SaveWritesTheLayoutAndLoadSwitchesToItsMode) {
    const std::string a = dir.file("a.ico"), b = dir.file("b\xE9.ico"), c = dir.file("c.ico");
    tab->setCurrentIndex(2);
    window->append({a, b, c});
    dialogs.list_to_save = QString::fromStdString(dir.file("lista.lai"));
    click("d_04");
    EXPECT_EQ(
        text(read_bytes(dir.file("lista.lai"))),
        "[INFO]\r\nTipo=2\r\nInicio=4\r\nTermina=6\r\n" + a + "\r\n" + b + "\r\n" + c + "\r\n");

    click("b01");  // a new conversion: mode 0, every list empty
    const std::string kept = dir.file("kept.bmp");
    window->append({kept});
    std::vector<int> positions;
    QObject::connect(window->progress_bar(), &QProgressBar::valueChanged,
                     [&](int v) { positions.push_back(v); });
    dialogs.list_to_open = dialogs.list_to_save;
    click("d_03");
    EXPECT_EQ(tab->currentIndex(), 2);
    EXPECT_EQ(window->descriptor(), std::string(mode_info(Mode::IcoToBmp).descriptor));
    EXPECT_EQ(window->shown_list(), (std::vector<std::string>{a, b, c}));
    EXPECT_EQ(positions, (std::vector<int>{66, 83, 100, 0}));
    EXPECT_EQ(window->findChild<QLabel*>("total_arquivos")->text(), "3 Arquivo(s) Adicionado(s)");
    // The list shown before the load was not stored: mode 0 comes back empty.
    tab->setCurrentIndex(0);
    EXPECT_EQ(list->count(), 0);
}

TEST_F(ListFiles, LoadFollowsTheStoredListOfItsMode) {
    const std::string lai =
        dir.write("two.lai", "[INFO]\r\nTipo=1\r\nInicio=4\r\nTermina=5\r\nx.jpg \r\ny.jpg");
    tab->setCurrentIndex(1);
    window->append({"old1.jpg"});
    tab->setCurrentIndex(0);  // mode 1 stores old1.jpg
    window->append({"m0.bmp"});
    dialogs.list_to_open = QString::fromStdString(lai);
    click("d_03");
    EXPECT_EQ(window->shown_list(), (std::vector<std::string>{"old1.jpg", "x.jpg ", "y.jpg"}));
}

TEST_F(ListFiles, RefusedFilesChangeNothing) {
    window->append({"a.bmp", "b.bmp"});
    for (const std::string& bad :
         {dir.write("tipo9.lai", "[INFO]\r\nTipo=9\r\nInicio=4\r\nTermina=4\r\nx\r\n"),
          dir.write("notipo.lai", "[INFO]\r\nInicio=4\r\nTermina=4\r\nx\r\n"),
          dir.file("missing.lai")}) {
        dialogs.list_to_open = QString::fromStdString(bad);
        click("d_03");
    }
    ASSERT_EQ(dialogs.warnings.size(), 3);
    EXPECT_TRUE(dialogs.warnings[0].contains("tipo9.lai"));
    EXPECT_EQ(tab->currentIndex(), 0);
    EXPECT_EQ(window->shown_list(), (std::vector<std::string>{"a.bmp", "b.bmp"}));
}

// A list that names lines it does not have is refused before anything
// changes: the mode, the shown list and the stored lists stay.
TEST_F(ListFiles, DamagedListIsRefusedAndChangesNothing) {
    tab->setCurrentIndex(1);
    window->append({"kept.jpg"});
    tab->setCurrentIndex(0);
    window->append({"a.bmp", "b.bmp"});
    const std::string pipe = dir.file("pipe.lai");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& damaged :
         {dir.write("short.lai", "[INFO]\r\nTipo=1\r\nInicio=4\r\nTermina=7\r\nx.jpg\r\ny.jpg\r\n"),
          pipe}) {
        dialogs.list_to_open = QString::fromStdString(damaged);
        click("d_03");
    }
    ASSERT_EQ(dialogs.warnings.size(), 2);
    EXPECT_EQ(dialogs.warnings[0], "List index out of bounds (6)");
    EXPECT_TRUE(dialogs.warnings[1].contains("pipe.lai"));
    EXPECT_EQ(tab->currentIndex(), 0);
    EXPECT_EQ(window->shown_list(), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_EQ(window->stored_list(Mode::JpegToBmp), std::vector<std::string>{"kept.jpg"});
    EXPECT_TRUE(window->isEnabled());
}

TEST_F(ListFiles, FailedSaveKeepsTheOldFile) {
    window->append({"a.bmp"});
    dialogs.list_to_save = QString::fromStdString(dir.file("nowhere/lista.lai"));
    click("d_04");
    ASSERT_EQ(dialogs.warnings.size(), 1);
    EXPECT_TRUE(dialogs.warnings[0].startsWith("Unable to write to"));
    EXPECT_EQ(window->shown_list().size(), 1u);
}

}  // namespace
}  // namespace quillora
