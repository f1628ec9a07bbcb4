#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <filesystem>

#include "app/frm_principal.h"
#include "filelist/frm_buscar.h"
#include "filelist/frm_definir.h"
#include "filelist/preview_qt.h"
#include "imaging/bmp.h"
#include "platform/action_table_qt.h"
#include "support/fixtures.h"
#include "support/qt_print.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"
#include "support/when_shown.h"

namespace quillora {
namespace {

using testing::TempDir;
using testing::when_shown;

class AddingFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<Tform_principal>();
        window->create_windows();
        window->show();
        list = window->findChild<QListWidget*>("lista_arquivos");
        search_dir = window->findChild<QLineEdit*>("diretorio_buscar");
        search_dir->setText(QString::fromStdString(dir.path().string()));
    }
    std::string picture(const std::string& name, int w = 12, int h = 9) {
        write_bmp(testing::pattern_bitmap(w, h), dir.file(name));
        return dir.file(name);
    }
    bool enabled(const char* object) {
        window->actions().update_all();
        return window->findChild<QAbstractButton*>(object)->isEnabled();
    }
    // Presses bt_buscar and answers the selection dialog.
    void add(bool search, bool subdirectories = false) {
        when_shown<Tform_definir>([=](Tform_definir* d) {
            d->findChild<QRadioButton*>(search ? "s_02" : "s_01")->setChecked(true);
            d->findChild<QCheckBox*>("subdir")->setChecked(subdirectories);
            d->findChild<QPushButton*>("bt_ok")->click();
        });
        window->actions().update_all();
        window->findChild<QAbstractButton*>("bt_buscar")->click();
    }

    TempDir dir;
    testing::ScriptedDialogs dialogs;
    std::unique_ptr<Tform_principal> window;
    QListWidget* list = nullptr;
    QLineEdit* search_dir = nullptr;
};

TEST_F(AddingFiles, ButtonNeedsASearchFolder) {
    EXPECT_TRUE(enabled("bt_buscar"));
    search_dir->clear();
    EXPECT_FALSE(enabled("bt_buscar"));
}

TEST_F(AddingFiles, ChosenFilesFollowTheListAndTheFirstItemIsShown) {
    std::vector<std::string> five;
    for (int i = 0; i < 5; ++i)
        five.push_back(picture("old" + std::to_string(i) + ".bmp"));
    window->append(five);
    QString seen_filter, seen_directory, seen_last;
    dialogs.pictures = [&](const QString& filter, const QString& directory, const QString& last) {
        seen_filter = filter;
        seen_directory = directory;
        seen_last = last;
        return std::optional<QStringList>(
            {QString::fromStdString(picture("n1.bmp")), QString::fromStdString(picture("n2.bmp")),
             QString::fromStdString(dir.file("typed-but-missing.bmp"))});
    };
    add(false);
    EXPECT_EQ(list->count(), 8);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(window->findChild<QLabel*>("n_arquivo")->text(), "old0.bmp");
    EXPECT_EQ(window->findChild<QLabel*>("total_arquivos")->text(), "8 Arquivo(s) Adicionado(s)");
    EXPECT_EQ(seen_filter, "Imagem Bitmap (*.bmp)|*.bmp");
    EXPECT_EQ(seen_directory, search_dir->text());
    EXPECT_EQ(seen_last, "");
    EXPECT_EQ(window->shown_list().back(), dir.file("typed-but-missing.bmp"));

    // The second time the dialog starts from the first file chosen before,
    // and the selection dialog shows the last choice.
    bool manual_still_chosen = false;
    when_shown<Tform_definir>([&](Tform_definir* d) {
        manual_still_chosen = d->findChild<QRadioButton*>("s_01")->isChecked();
        d->findChild<QPushButton*>("bt_cancelar")->click();
    });
    window->findChild<QAbstractButton*>("bt_buscar")->click();
    EXPECT_TRUE(manual_still_chosen);
    EXPECT_EQ(list->count(), 8);  // cancelled: nothing changes
    dialogs.pictures = [&](const QString&, const QString&, const QString& last) {
        seen_last = last;
        return std::nullopt;
    };
    add(false);
    EXPECT_EQ(seen_last, QString::fromStdString(dir.file("n1.bmp")));
    EXPECT_EQ(list->count(), 8);
}

TEST_F(AddingFiles, SelectionDialog) {
    Tform_definir* definir = window->definir();
    EXPECT_EQ(definir->windowTitle(), QString::fromUtf8("Seleção de Arquivos"));
    EXPECT_EQ(definir->size(), QSize(315, 193));
    auto* subdir = definir->findChild<QCheckBox*>("subdir");
    EXPECT_TRUE(definir->findChild<QRadioButton*>("s_01")->isChecked());
    EXPECT_FALSE(subdir->isEnabled());
    definir->findChild<QRadioButton*>("s_02")->setChecked(true);
    EXPECT_TRUE(subdir->isEnabled());
    subdir->setChecked(true);
    definir->findChild<QRadioButton*>("s_01")->setChecked(true);
    EXPECT_FALSE(subdir->isEnabled());
    EXPECT_TRUE(subdir->isChecked());  // keeps its tick while disabled
}

TEST_F(AddingFiles, PreviewAtTheRealSize) {
    EXPECT_FALSE(enabled("bt_aumentar"));
    window->append({picture("foto.bmp", 300, 200)});
    window->select_first_and_show();
    EXPECT_TRUE(enabled("bt_aumentar"));
    QSize shown_size;
    QString caption;
    when_shown<QDialog>([&](QDialog* preview) {
        shown_size = preview->size();
        caption = preview->windowTitle();
        preview->close();
    });
    window->findChild<QAbstractButton*>("bt_aumentar")->click();
    EXPECT_EQ(shown_size, QSize(300, 200));
    EXPECT_EQ(caption, "foto.bmp");
    EXPECT_EQ(list->currentRow(), 0);

    // A picture that went away since it was shown: a warning, no window.
    std::filesystem::remove(dir.file("foto.bmp"));
    window->findChild<QAbstractButton*>("bt_aumentar")->click();
    ASSERT_EQ(dialogs.warnings.size(), 1);
    EXPECT_TRUE(dialogs.warnings[0].startsWith("Cannot open file"));
}

// Each folder's files in name order, then its subfolders.
TEST_F(AddingFiles, DirectorySearchTakesTheModesFilesInTreeOrder) {
    window->findChild<QTabBar*>("Tab")->setCurrentIndex(1);  // JPEG to BMP: "*.jpg; *.jpeg"
    std::filesystem::create_directories(dir.file("sub/deeper"));
    for (const char* name : {"photo.jpg", "PHOTO.JPG", "photo.jpeg", "photo.jpe", "photo.jpgx",
                             "sub/a.jpg", "sub/deeper/b.JPEG", "sub/c.txt"}) {
        dir.write(name, "x");
    }
    auto names = [this] {
        std::vector<std::string> shown;
        for (const std::string& path : window->shown_list())
            shown.push_back(path.substr(dir.path().string().size() + 1));
        return shown;
    };
    add(true, false);
    EXPECT_EQ(names(), (std::vector<std::string>{"photo.jpeg", "PHOTO.JPG", "photo.jpg"}));
    EXPECT_EQ(window->findChild<QLabel*>("total_arquivos")->text(), "3 Arquivo(s) Adicionado(s)");
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(window->findChild<QTabBar*>("Tab")->isEnabled());

    add(true, true);  // the same folder again, with subfolders: everything again, then below
    EXPECT_EQ(names(), (std::vector<std::string>{"photo.jpeg", "PHOTO.JPG", "photo.jpg",
                                                 "photo.jpeg", "PHOTO.JPG", "photo.jpg",
                                                 "sub/a.jpg", "sub/deeper/b.JPEG"}));
}

TEST_F(AddingFiles, SearchOfAMissingFolderAddsNothing) {
    search_dir->setText(QString::fromStdString(dir.file("nowhere")));
    add(true, true);
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(window->findChild<QLabel*>("total_arquivos")->text(), "0 Arquivo(s) Adicionado(s)");
    EXPECT_TRUE(window->isEnabled());
}

TEST_F(AddingFiles, CancelledSearchKeepsWhatItFound) {
    // More files than one batch of found paths holds.
    for (int d = 0; d < 1500; ++d) {
        const std::string sub = "d" + std::to_string(d);
        std::filesystem::create_directory(dir.file(sub));
        for (int f = 0; f < 2; ++f)
            dir.write(sub + "/f" + std::to_string(f) + ".bmp", "x");
    }
    // Cancel is pressed as soon as the first batch reaches the list, while
    // the search still runs.
    int searching_when_added = 0;
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted,
                     [this, &searching_when_added] {
                         if (!window->buscar()->searching())
                             return;
                         ++searching_when_added;
                         window->buscar()->findChild<QPushButton*>("bt_cancel")->click();
                     });
    add(true, true);
    EXPECT_EQ(searching_when_added, 1);
    EXPECT_GT(list->count(), 0);
    EXPECT_LT(list->count(), 3000);
    EXPECT_EQ(window->findChild<QLabel*>("total_arquivos")->text(),
              QString("%1 Arquivo(s) Adicionado(s)").arg(list->count()));
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(window->buscar()->isHidden());
}

}  // namespace
}  // namespace quillora
