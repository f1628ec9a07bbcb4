// The directory search's wait window: its look, Cancel by button, Esc and
// close request, and a search that keeps it alive.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "filelist/directory_search.h"
#include "filelist/frm_buscar.h"
#include "filelist/search_animation_qt.h"
#include "platform/dir_listing.h"
#include "support/qt_print.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

class SearchWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        main_window.setGeometry(150, 120, 590, 518);
        window = std::make_unique<Tform_buscar>(&main_window);
        buscando = window->findChild<QLabel*>("buscando");
        pesquisa = window->findChild<QLabel*>("pesquisa");
        cancel = window->findChild<QPushButton*>("bt_cancel");
        ASSERT_TRUE(buscando && pesquisa && cancel && window->animation());
    }
    void press_escape() {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &press);
        QApplication::sendEvent(window.get(), &release);
    }

    QWidget main_window;
    std::unique_ptr<Tform_buscar> window;
    QLabel* buscando = nullptr;
    QLabel* pesquisa = nullptr;
    QPushButton* cancel = nullptr;
};

TEST_F(SearchWindow, Look) {
    EXPECT_EQ(window->windowTitle(), "Aguarde ... Buscando Arquivos");
    EXPECT_EQ(window->size(), QSize(408, 148));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(cancel->text(), "Cancelar");
    EXPECT_TRUE(buscando->font().bold());
    EXPECT_TRUE(pesquisa->font().bold());
    EXPECT_EQ(pesquisa->width(), 305);
    // The animation stands at the left of the labels, the button below them.
    const QPoint animation_at = window->animation()->mapTo(window.get(), QPoint(0, 0));
    EXPECT_LT(animation_at.x() + window->animation()->width(),
              buscando->mapTo(window.get(), QPoint(0, 0)).x() + 1);
    EXPECT_GT(cancel->y(), pesquisa->mapTo(window.get(), QPoint(0, 0)).y() + pesquisa->height());
    EXPECT_LE(cancel->geometry().bottom(), 148);
}

TEST_F(SearchWindow, BeginShowsTheMasksAndEndHides) {
    window->begin("*.jpg; *.jpeg");
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_TRUE(window->searching());
    EXPECT_TRUE(window->animation()->playing());
    EXPECT_EQ(buscando->text(), "Buscando arquivos do tipo *.jpg; *.jpeg");
    // Centred on the main window.
    const QPoint offset = window->frameGeometry().center() - main_window.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << ", " << offset.y();

    window->scanning("/home/ana/Imagens");
    EXPECT_EQ(pesquisa->text(), "Pesquisando /home/ana/Imagens...");
    window->scanning("/tmp/<b>not bold</b>");  // shown as written
    EXPECT_EQ(pesquisa->textFormat(), Qt::PlainText);

    window->end();
    EXPECT_TRUE(window->isHidden());
    EXPECT_FALSE(window->searching());
    EXPECT_FALSE(window->animation()->playing());
}

TEST_F(SearchWindow, LongDirectoryIsCutAtTheLabelsEdge) {
    window->begin("*.bmp");
    const std::string dir = "/" + std::string(300, 'x');
    window->scanning(dir);
    EXPECT_EQ(pesquisa->text().toStdString(), "Pesquisando " + dir + "...");
    EXPECT_GT(pesquisa->sizeHint().width(), 305);
    EXPECT_EQ(pesquisa->width(), 305);
    EXPECT_FALSE(pesquisa->wordWrap());
    window->end();
}

TEST_F(SearchWindow, CancelButtonAsksToStop) {
    window->begin("*.bmp");
    EXPECT_FALSE(window->cancel_requested());
    EXPECT_TRUE(window->responsive());
    cancel->click();
    EXPECT_TRUE(window->cancel_requested());
    EXPECT_FALSE(window->responsive());
    EXPECT_TRUE(window->isVisible());  // closes when the search has ended
    window->end();
    // A new search starts without the old request.
    window->begin("*.bmp");
    EXPECT_FALSE(window->cancel_requested());
    window->end();
}

TEST_F(SearchWindow, EscapeAndCloseRequestCancelWithoutClosing) {
    window->begin("*.bmp");
    press_escape();
    EXPECT_TRUE(window->cancel_requested());
    EXPECT_TRUE(window->isVisible());
    window->end();

    window->begin("*.bmp");
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->cancel_requested());
    EXPECT_TRUE(window->isVisible());
    window->end();
    EXPECT_TRUE(window->isHidden());
}

TEST_F(SearchWindow, CancelOutsideASearchIsIgnored) {
    cancel->click();
    press_escape();
    EXPECT_FALSE(window->cancel_requested());
}

// A directory with more entries than a search could ever get through.
class Endless final : public files::DirectoryEntries {
  public:
    files::OpenOutcome outcome() const noexcept override { return files::OpenOutcome::Ok; }
    bool next(files::DirEntry& entry) override {
        if (++count_ > kLimit)
            return false;
        entry = {"f" + std::to_string(count_) + ".bmp", false, false, false};
        return true;
    }
    bool read_failed() const noexcept override { return false; }
    static constexpr long kLimit = 200'000'000;

  private:
    long count_ = 0;
};

// Runs after each found path, when set.
std::function<void()> callbacks_found_hook;

// Runs a search with the window as the program does.
SearchEnd run_search(Tform_buscar& window, const std::string& root, std::vector<std::string>& found,
                     const OpenDirectory& open = {}) {
    window.begin("*.bmp");
    SearchCallbacks callbacks;
    callbacks.begin_dir = [&](const std::string& dir) { window.scanning(dir); };
    callbacks.found = [&](const std::string& path) {
        found.push_back(path);
        if (callbacks_found_hook)
            callbacks_found_hook();
    };
    callbacks.progress = [&] { return window.responsive(); };
    const SearchEnd end = search_directory(root, {"*.bmp"}, true, callbacks, open);
    window.end();
    return end;
}

TEST_F(SearchWindow, CancelReachesARunningSearch) {
    std::vector<std::string> found;
    // The click is posted once the search has begun to list, and arrives as
    // the user's would: through the events the search lets through.
    callbacks_found_hook = [&] {
        if (found.size() == 1)
            QMetaObject::invokeMethod(cancel, &QPushButton::click, Qt::QueuedConnection);
    };
    const SearchEnd end = run_search(
        *window, "/endless", found, [](const std::string&) { return std::make_unique<Endless>(); });
    callbacks_found_hook = nullptr;
    EXPECT_EQ(end, SearchEnd::Cancelled);
    EXPECT_FALSE(found.empty());
    EXPECT_LT(static_cast<long>(found.size()), Endless::kLimit);
    EXPECT_EQ(pesquisa->text(), "Pesquisando /endless...");
    EXPECT_TRUE(window->isHidden());
}

TEST_F(SearchWindow, SearchOverATree) {
    testing::TempDir tmp;
    tmp.write("a.bmp", "x");
    std::filesystem::create_directory(tmp.file("sub"));
    tmp.write("sub/b.BMP", "x");
    tmp.write("sub/c.txt", "x");
    std::vector<std::string> found;
    EXPECT_EQ(run_search(*window, tmp.path().string(), found), SearchEnd::Done);
    EXPECT_EQ(found, (std::vector<std::string>{tmp.file("a.bmp"), tmp.file("sub/b.BMP")}));
    EXPECT_EQ(pesquisa->text().toStdString(), "Pesquisando " + tmp.file("sub") + "...");
}

TEST(SearchAnimationWidget, FramesLoopAndDiffer) {
    SearchAnimation animation;
    animation.resize(80, 80);
    animation.start();
    EXPECT_TRUE(animation.playing());
    EXPECT_EQ(animation.frame(), 0);
    QImage first(animation.size(), QImage::Format_ARGB32);
    first.fill(Qt::transparent);
    animation.render(&first);
    for (int i = 0; i < SearchAnimation::kFrames / 4; ++i)
        animation.advance_now();
    EXPECT_EQ(animation.frame(), SearchAnimation::kFrames / 4);
    QImage later(animation.size(), QImage::Format_ARGB32);
    later.fill(Qt::transparent);
    animation.render(&later);
    EXPECT_NE(first, later);  // the glass has moved
    for (int i = SearchAnimation::kFrames / 4; i < SearchAnimation::kFrames; ++i)
        animation.advance_now();
    EXPECT_EQ(animation.frame(), 0);
    animation.stop();
    EXPECT_FALSE(animation.playing());
}

}  // namespace
}  // namespace quillora
