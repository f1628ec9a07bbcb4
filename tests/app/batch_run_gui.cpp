#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <map>
#include <thread>

#include "app/frm_principal.h"
#include "app/progress_bar_qt.h"
#include "engine/frm_progresso.h"
#include "engine/step_list_qt.h"
#include "imaging/bmp.h"
#include "platform/action_table_qt.h"
#include "platform/files.h"
#include "platform/wait_qt.h"
#include "support/fixtures.h"
#include "support/qt_print.h"
#include "support/scripted_dialogs.h"
#include "support/stored_settings.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using testing::TempDir;

class BatchRun : public ::testing::Test {
  protected:
    void SetUp() override {
        set_pacing_second(std::chrono::milliseconds(15));
        window = std::make_unique<Tform_principal>();
        window->create_windows();
        window->show();
        output = window->findChild<QLineEdit*>("diretorio_salvar");
        std::filesystem::create_directory(dir.file("out"));
        output->setText(QString::fromStdString(dir.file("out")));
        QObject::connect(window->progress_bar(), &QProgressBar::valueChanged,
                         [this](int v) { positions.push_back(v); });
        QObject::connect(window->progress_bar(), &ProgressoBar::caption_changed,
                         [this](const QString& c) { captions << c; });
    }
    void TearDown() override { set_pacing_second(std::chrono::milliseconds(1000)); }

    std::vector<std::string> pictures(int n) {
        std::vector<std::string> paths;
        for (int i = 0; i < n; ++i) {
            paths.push_back(dir.file("p" + std::to_string(i) + ".bmp"));
            write_bmp(testing::pattern_bitmap(8, 8), paths.back());
        }
        return paths;
    }
    void start() {
        window->actions().update_all();
        window->findChild<QAbstractButton*>("b02")->click();
    }
    int outputs() const {
        return static_cast<int>(std::distance(std::filesystem::directory_iterator(dir.file("out")),
                                              std::filesystem::directory_iterator()));
    }
    void cancel() { window->progresso()->findChild<QPushButton*>("bt_cancel")->click(); }

    TempDir dir;
    testing::StoredSettings stored;
    testing::ScriptedDialogs dialogs;
    std::unique_ptr<Tform_principal> window;
    QLineEdit* output = nullptr;
    std::vector<int> positions;
    QStringList captions;
};

TEST_F(BatchRun, PositionsAndCaptions) {
    struct Case {
        int files;
        std::vector<int> positions;
        QStringList captions;
    } cases[] = {
        {1, {}, {"", ""}},
        {3, {33, 66, 0}, {"", "p0.bmp", "p1.bmp", ""}},
        {4, {25, 50, 75, 0}, {"", "p0.bmp", "p1.bmp", "p2.bmp", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files);
        window->findChild<QAbstractButton*>("d_01")->setEnabled(true);
        window->findChild<QListWidget*>("lista_arquivos")->clear();
        window->append(pictures(c.files));
        positions.clear();
        captions.clear();
        start();
        EXPECT_EQ(positions, c.positions);
        EXPECT_EQ(captions, c.captions);
        EXPECT_EQ(outputs(), c.files);
        EXPECT_TRUE(window->isEnabled());
        EXPECT_TRUE(window->progresso()->isHidden());
        StepList* steps = window->progresso()->steps();
        for (int k = 0; k < StepList::kLines; ++k)
            EXPECT_FALSE(steps->ticked(k));
        EXPECT_EQ(steps->line(2), "Converter *.BMP em *.JPEG");
    }
}

TEST_F(BatchRun, WindowDuringTheRun) {
    window->append(pictures(1));
    bool main_disabled = false, progress_shown = false;
    std::vector<bool> ticked_at_file;
    QObject::connect(window->progress_bar(), &ProgressoBar::caption_changed, [&] {
        if (!ticked_at_file.empty())
            return;
        main_disabled = !window->isEnabled();
        progress_shown = window->progresso()->isVisible();
        for (int k = 0; k < StepList::kLines; ++k)
            ticked_at_file.push_back(window->progresso()->steps()->ticked(k));
    });
    start();
    EXPECT_TRUE(main_disabled);
    EXPECT_TRUE(progress_shown);
    EXPECT_EQ(ticked_at_file, (std::vector<bool>{true, true, true, true, false, false}));
    EXPECT_EQ(window->progresso()->windowTitle(), "Convertendo ...");
}

TEST_F(BatchRun, CancelDuringTheOpeningStepsConvertsNothing) {
    window->append(pictures(3));
    // Cancel as the first opening step is ticked, before any file.
    QObject::connect(window->progresso()->steps(), &StepList::line_ticked, [this](int k) {
        if (k == 0)
            cancel();
    });
    start();
    EXPECT_EQ(outputs(), 0);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(window->progresso()->isHidden());
    EXPECT_FALSE(window->cancel_flag());
}

TEST_F(BatchRun, CancelDuringTheThirdOfFiveFiles) {
    window->append(pictures(5));
    bool ticked_closing = false;
    // Cancel is clicked, on the window's thread, as the third file starts.
    window->batch_options().workers = 1;
    window->batch_options().starting = [this](std::size_t i) {
        if (i == 2)
            QMetaObject::invokeMethod(
                window.get(), [this] { cancel(); }, Qt::BlockingQueuedConnection);
    };
    QObject::connect(window->progresso()->steps(), &StepList::line_ticked,
                     [&](int k) { ticked_closing = ticked_closing || k >= 4; });
    start();
    EXPECT_EQ(outputs(), 3);
    EXPECT_TRUE(files::exists(dir.file("out/p2.jpg")));
    EXPECT_FALSE(files::exists(dir.file("out/p3.jpg")));
    EXPECT_FALSE(ticked_closing);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_FALSE(window->cancel_flag());
    EXPECT_TRUE(dialogs.warnings.isEmpty());
}

// The window's thread runs no conversion: while a file converts, the window
// repaints and answers.
TEST_F(BatchRun, FilesConvertOffTheWindowsThread) {
    window->append(pictures(2));
    const std::thread::id window_thread = std::this_thread::get_id();
    std::vector<bool> on_window_thread;
    bool answered = false;
    window->batch_options().starting = [&](std::size_t) {
        on_window_thread.push_back(std::this_thread::get_id() == window_thread);
        // The window's thread is free to run this while the worker waits.
        QMetaObject::invokeMethod(
            window.get(), [&] { answered = true; }, Qt::BlockingQueuedConnection);
    };
    start();
    EXPECT_EQ(on_window_thread, (std::vector<bool>{false, false}));
    EXPECT_TRUE(answered);
    EXPECT_EQ(outputs(), 2);
}

// Same-name sources from several folders each get an output of their own,
// the same whatever the number of workers, and one information box lists the
// numbered names.
TEST_F(BatchRun, SameNamesAreNumberedAndListed) {
    std::vector<std::string> sources;
    for (int i = 0; i < 12; ++i) {
        const std::string folder = dir.file("in" + std::to_string(i % 3));
        std::filesystem::create_directories(folder);
        sources.push_back(folder + "/p" + std::to_string(i % 4) + ".bmp");
        write_bmp(testing::pattern_bitmap(8 + i, 5 + i), sources.back());
    }
    std::map<std::string, std::vector<std::uint8_t>> first;
    for (unsigned workers : {1u, 4u}) {
        SCOPED_TRACE(workers);
        std::filesystem::remove_all(dir.file("out"));
        std::filesystem::create_directory(dir.file("out"));
        window->findChild<QListWidget*>("lista_arquivos")->clear();
        window->append(sources);
        window->batch_options().workers = workers;
        dialogs.informations.clear();
        start();
        const auto outputs = testing::files_in(dir.file("out"));
        EXPECT_EQ(outputs.size(), 12u);
        if (first.empty())
            first = outputs;
        EXPECT_EQ(outputs, first);
        EXPECT_TRUE(dialogs.warnings.isEmpty());
        ASSERT_EQ(dialogs.informations.size(), 1);
        const QStringList lines = dialogs.informations[0].split('\n');
        ASSERT_EQ(lines.size(), 9);
        EXPECT_EQ(lines[0],
                  QString::fromUtf8("8 arquivo(s) salvos com um nome numerado, pois outro "
                                    "arquivo desta conversão já tinha o nome:"));
        EXPECT_EQ(lines[1],
                  QString::fromStdString(sources[4]) + QString::fromUtf8(" → p0 (2).jpg"));
        EXPECT_EQ(lines[8],
                  QString::fromStdString(sources[11]) + QString::fromUtf8(" → p3 (3).jpg"));
    }
}

// The folder tree is kept when the setting says so, read at each run.
TEST_F(BatchRun, TheFolderTreeIsKeptWhenTheSettingIsOn) {
    for (const char* folder : {"fotos/ferias", "fotos/natal"})
        std::filesystem::create_directories(dir.file(folder));
    const std::vector<std::string> sources = {dir.file("fotos/ferias/IMG.bmp"),
                                              dir.file("fotos/natal/IMG.bmp")};
    for (const std::string& source : sources)
        write_bmp(testing::pattern_bitmap(8, 8), source);
    window->append(sources);
    stored.store().write_integer("ManterSubpastas", 1);
    start();
    EXPECT_TRUE(files::exists(dir.file("out/ferias/IMG.jpg")));
    EXPECT_TRUE(files::exists(dir.file("out/natal/IMG.jpg")));
    EXPECT_TRUE(dialogs.informations.isEmpty());

    std::filesystem::remove_all(dir.file("out"));
    std::filesystem::create_directory(dir.file("out"));
    stored.store().write_integer("ManterSubpastas", 0);
    start();
    EXPECT_EQ(testing::files_in(dir.file("out")).size(), 2u);
    EXPECT_TRUE(files::exists(dir.file("out/IMG (2).jpg")));
}

// A file that cannot be converted is listed with its message once the run is
// over; the others convert and the lists stay as they were. The run is no
// success: its last step stays open.
TEST_F(BatchRun, FailedFilesAreListedAndTheRunGoesOn) {
    std::vector<std::string> sources = pictures(5);
    dir.write("p2.bmp", "this file holds no picture at all");
    window->append(sources);
    std::vector<int> ticked;
    QObject::connect(window->progresso()->steps(), &StepList::line_ticked,
                     [&](int k) { ticked.push_back(k); });
    start();
    EXPECT_EQ(outputs(), 4);
    EXPECT_FALSE(files::exists(dir.file("out/p2.jpg")));
    EXPECT_EQ(ticked, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(dialogs.warnings,
              QStringList{QString::fromStdString("1 arquivo(s) não foram convertidos:\n" +
                                                 sources[2] + ": Bitmap image is not valid")});
    EXPECT_EQ(window->shown_list(), sources);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(window->progresso()->isHidden());
}

// Failures and numbered names share one warning box: the failures first.
TEST_F(BatchRun, FailuresAndNumberedNamesShareOneWarning) {
    std::filesystem::create_directory(dir.file("outra"));
    const std::vector<std::string> sources = {
        dir.file("p0.bmp"), dir.file("outra/p0.bmp"),
        dir.write("ruim.bmp", "this file holds no picture at all")};
    write_bmp(testing::pattern_bitmap(8, 8), sources[0]);
    write_bmp(testing::pattern_bitmap(8, 8), sources[1]);
    window->append(sources);
    start();
    EXPECT_TRUE(dialogs.informations.isEmpty());
    ASSERT_EQ(dialogs.warnings.size(), 1);
    EXPECT_EQ(dialogs.warnings[0].toStdString(),
              "1 arquivo(s) não foram convertidos:\n" + sources[2] +
                  ": Bitmap image is not valid\n"
                  "\n"
                  "1 arquivo(s) salvos com um nome numerado, pois outro arquivo desta conversão "
                  "já tinha o nome:\n" +
                  sources[1] + " → p0 (2).jpg");
}

// When the output folder cannot take files, no later file could succeed: the
// run stops at the first failure, and the box counts every file not
// converted.
TEST_F(BatchRun, AnUnusableOutputFolderStopsTheRun) {
    const std::vector<std::string> sources = pictures(4);
    window->append(sources);
    output->setText(QString::fromStdString(dir.file("missing")));
    window->batch_options().workers = 1;
    bool ticked_closing = false;
    QObject::connect(window->progresso()->steps(), &StepList::line_ticked,
                     [&](int k) { ticked_closing = ticked_closing || k >= 4; });
    start();
    ASSERT_EQ(dialogs.warnings.size(), 1);
    EXPECT_EQ(dialogs.warnings[0].toStdString(), "4 arquivo(s) não foram convertidos:\n" +
                                                     sources[0] + ": Cannot create file \"" +
                                                     dir.file("missing/p0.jpg") +
                                                     "\". No such file or directory\n"
                                                     "3 arquivo(s) não iniciados");
    EXPECT_FALSE(ticked_closing);
    EXPECT_EQ(window->shown_list(), sources);
    EXPECT_TRUE(window->isEnabled());
}

// Closing the main window during a run acts as Cancel: the file being
// converted is finished, no other starts, and the window closes then.
TEST_F(BatchRun, ClosingTheWindowDuringARunCancelsAndClosesAfterIt) {
    window->append(pictures(5));
    window->batch_options().workers = 1;
    bool open_after_the_request = false;
    window->batch_options().starting = [&](std::size_t i) {
        if (i == 2) {
            QMetaObject::invokeMethod(
                window.get(),
                [&] {
                    window->close();
                    open_after_the_request = window->isVisible();
                },
                Qt::BlockingQueuedConnection);
        }
    };
    start();
    EXPECT_TRUE(open_after_the_request);
    EXPECT_EQ(outputs(), 3);
    EXPECT_TRUE(files::exists(dir.file("out/p2.jpg")));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->progresso()->isHidden());
    EXPECT_TRUE(dialogs.warnings.isEmpty());
}

// While a run lasts the progress window is the active one, so Alt+F4 or the
// window manager's close reaches it: that presses Cancel, the window stays
// until the run ends, and the main window stays open.
TEST_F(BatchRun, ClosingTheProgressWindowDuringARunCancels) {
    window->append(pictures(5));
    window->batch_options().workers = 1;
    bool shown_after_the_request = false;
    window->batch_options().starting = [&](std::size_t i) {
        if (i == 1) {
            QMetaObject::invokeMethod(
                window.get(),
                [&] {
                    window->progresso()->close();
                    shown_after_the_request = window->progresso()->isVisible();
                },
                Qt::BlockingQueuedConnection);
        }
    };
    start();
    EXPECT_TRUE(shown_after_the_request);
    EXPECT_EQ(outputs(), 2);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(window->progresso()->isHidden());
}

TEST_F(BatchRun, EnabledOnlyWithFilesAndAnOutputFolder) {
    auto enabled = [this] {
        window->actions().update_all();
        return window->findChild<QAbstractButton*>("b02")->isEnabled();
    };
    output->clear();
    EXPECT_FALSE(enabled());
    window->append(pictures(1));
    EXPECT_FALSE(enabled());
    output->setText("x");
    EXPECT_TRUE(enabled());
    window->findChild<QListWidget*>("lista_arquivos")->clear();
    EXPECT_FALSE(enabled());
}

}  // namespace
}  // namespace quillora
