// Files and folders dragged from a file manager onto the source list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QTabBar>
#include <QUrl>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/frm_principal.h"
#include "imaging/bmp.h"
#include "support/fixtures.h"
#include "support/qt_print.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

// A file URI of a path's bytes, percent-encoded byte by byte as file
// managers write them.
QByteArray file_uri(const std::string& path) {
    return "file://" + QByteArray::fromStdString(path).toPercentEncoding("/");
}

class DroppingFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<Tform_principal>();
        window->create_windows();
        window->show();
        list = window->findChild<QListWidget*>("lista_arquivos");
        std::filesystem::create_directories(dir.file("tree/sub"));
    }
    std::string picture(const std::string& name) {
        write_bmp(testing::pattern_bitmap(12, 9), dir.file(name));
        return dir.file(name);
    }
    // Drags data over the list and drops it there, as a window system
    // delivers it; returns whether the list took the drag.
    bool drop(QMimeData* data) {
        QWidget* target = list->viewport();
        const QPoint at(target->width() / 2, target->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        EXPECT_TRUE(dropped.isAccepted());
        // The list takes the items once the drop has been answered.
        QCoreApplication::processEvents();
        return true;
    }
    QString label(const char* name) { return window->findChild<QLabel*>(name)->text(); }

    testing::TempDir dir;
    testing::ScriptedDialogs dialogs;
    std::unique_ptr<Tform_principal> window;
    QListWidget* list = nullptr;
};

TEST_F(DroppingFiles, FilesAreAppendedAndFoldersSearchedInTheOrderGiven) {
    const std::string old = picture("old.bmp");
    window->append({old});
    const std::string first = picture("first.bmp");
    const std::string notes = dir.write("notes.txt", "any extension is taken");
    const std::string in_tree = picture("tree/in_tree.bmp");
    const std::string below = picture("tree/sub/below.BMP");
    dir.write("tree/other.jpg", "not the mode's mask");
    // Another folder, with nothing of the mode.
    std::filesystem::create_directory(dir.file("empty"));

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(first)),
                  QUrl::fromLocalFile(QString::fromStdString(dir.file("tree"))),
                  QUrl(QStringLiteral("https://example.org/remote.bmp")),
                  QUrl::fromLocalFile(QString::fromStdString(dir.file("empty"))),
                  QUrl::fromLocalFile(QString::fromStdString(notes))});
    ASSERT_TRUE(drop(&data));
    EXPECT_EQ(window->shown_list(), (std::vector<std::string>{old, first, in_tree, below, notes}));
    EXPECT_EQ(label("total_arquivos"), "5 Arquivo(s) Adicionado(s)");
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(label("n_arquivo"), "old.bmp");
    EXPECT_EQ(label("n_resolucao"), "12 x 9");
}

// The folder is searched with the masks of the mode on show.
TEST_F(DroppingFiles, FolderSearchUsesTheCurrentModesMasks) {
    dir.write("tree/a.ico", testing::make_ico({testing::IcoImageFixture{}}));
    picture("tree/b.bmp");
    dir.write("tree/sub/c.ICO", testing::make_ico({testing::IcoImageFixture{}}));
    window->findChild<QTabBar*>("Tab")->setCurrentIndex(2);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("tree")))});
    ASSERT_TRUE(drop(&data));
    EXPECT_EQ(window->shown_list(),
              (std::vector<std::string>{dir.file("tree/a.ico"), dir.file("tree/sub/c.ICO")}));
    EXPECT_EQ(label("total_arquivos"), "2 Arquivo(s) Adicionado(s)");
    EXPECT_EQ(label("n_arquivo"), "a.ico");
}

// A name that is not valid UTF-8 keeps its bytes, from the file manager's
// URI list to the list item.
TEST_F(DroppingFiles, PathsKeepTheirBytes) {
    const std::string latin1 = picture("caf\xE9.bmp");
    const std::string in_folder = picture("tree/\xFF\xFE.bmp");
    const std::string percent = picture("100%.bmp");
    QMimeData data;
    data.setData("text/uri-list", file_uri(latin1) + "\r\n" + file_uri(dir.file("tree")) + "\r\n" +
                                      file_uri(percent) + "\r\n");
    ASSERT_TRUE(drop(&data));
    EXPECT_EQ(window->shown_list(), (std::vector<std::string>{latin1, in_folder, percent}));
    EXPECT_EQ(label("total_arquivos"), "3 Arquivo(s) Adicionado(s)");
}

// Text, or only remote files, is not taken.
TEST_F(DroppingFiles, NothingLocalIsRefused) {
    QMimeData text;
    text.setText("/some/path.bmp");
    EXPECT_FALSE(drop(&text));
    QMimeData remote;
    remote.setUrls({QUrl(QStringLiteral("https://example.org/x.bmp"))});
    EXPECT_FALSE(drop(&remote));
    EXPECT_EQ(list->count(), 0);
}

}  // namespace
}  // namespace quillora
