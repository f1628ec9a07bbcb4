// The main window's long operations, from the click to the final count
// label: entering a mode with a large stored list, a directory search over a
// large tree, loading a large list file; and the desktop capture's grab.
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/application_qt.h"
#include "app/frm_principal.h"
#include "engine/batch_run.h"
#include "filelist/frm_definir.h"
#include "filelist/list_file.h"
#include "imaging/bitmap.h"
#include "imaging/bmp.h"
#include "platform/action_table_qt.h"
#include "platform/dialogs_qt.h"
#include "platform/display.h"
#include "platform/wait_qt.h"
#include "tools/desktop_capture_qt.h"
#include "tools/frm_screen.h"

namespace {

std::vector<std::string> many_paths(int n) {
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        paths.push_back("/home/usuario/Imagens/ferias " + std::to_string(i / 100) + "/foto-" +
                        std::to_string(i) + ".bmp");
    }
    return paths;
}

// Entering a mode whose stored list holds N paths (the list it leaves is empty).
void BM_EnterModeWithStoredList(benchmark::State& state) {
    quillora::Tform_principal window;
    window.create_windows();
    auto* tab = window.findChild<QTabBar*>("Tab");
    window.append(many_paths(static_cast<int>(state.range(0))));
    tab->setCurrentIndex(1);  // stores the list in mode 0
    for (auto _ : state) {
        tab->setCurrentIndex(0);  // enters mode 0: the list comes back
        state.PauseTiming();
        tab->setCurrentIndex(1);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EnterModeWithStoredList)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Answers the list-file dialogs with a fixed file; cancels the rest.
struct FixedDialogs : quillora::Dialogs {
    QString list;
    std::optional<QString> pick_folder(QWidget*, const QString&) override { return {}; }
    std::optional<QStringList> open_pictures(QWidget*, const QString&, const QString&,
                                             const QString&,
                                             const quillora::PreviewMaker&) override {
        return {};
    }
    std::optional<QString> save_list(QWidget*) override { return {}; }
    std::optional<QString> open_list(QWidget*) override { return list; }
    std::optional<QString> open_executable(QWidget*, const QString&) override { return {}; }
    std::optional<QString> save_icon(QWidget*, const QString&) override { return {}; }
    std::optional<QString> save_capture(QWidget*, const QString&,
                                        const quillora::PreviewMaker&) override {
        return {};
    }
    std::optional<QColor> pick_colour(QWidget*, const QColor&) override { return {}; }
    void warn(QWidget*, const QString&, const QString&) override {}
    void list_box(QWidget*, quillora::ListBoxKind, const QString&, const QString&,
                  const QStringList&) override {}
};

// A folder of 100,000 pictures in 1,000 folders, made once per run.
const std::string& big_tree() {
    static const std::string root = [] {
        std::string dir = (std::filesystem::temp_directory_path() / "quillora-bench-tree").string();
        if (!std::filesystem::exists(dir + "/d999/f99.bmp")) {
            for (int d = 0; d < 1000; ++d) {
                const std::string sub = dir + "/d" + std::to_string(d);
                std::filesystem::create_directories(sub);
                for (int f = 0; f < 100; ++f)
                    std::ofstream(sub + "/f" + std::to_string(f) + ".bmp");
            }
        }
        return dir;
    }();
    return root;
}

void click(quillora::Tform_principal& window, const char* button) {
    window.actions().update_all();
    window.findChild<QAbstractButton*>(button)->click();
}

void BM_DirectorySearchFromClick(benchmark::State& state) {
    quillora::Tform_principal window;
    window.create_windows();
    window.show();
    window.findChild<QLineEdit*>("diretorio_buscar")->setText(QString::fromStdString(big_tree()));
    window.definir()->findChild<QRadioButton*>("s_02")->setChecked(true);
    window.definir()->findChild<QCheckBox*>("subdir")->setChecked(true);
    for (auto _ : state) {
        QTimer::singleShot(0, [&] { window.definir()->accept(); });
        click(window, "bt_buscar");
        state.PauseTiming();
        if (window.findChild<QLabel*>("total_arquivos")->text() !=
            "100000 Arquivo(s) Adicionado(s)")
            state.SkipWithError("not every file was found");
        click(window, "d_01");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DirectorySearchFromClick)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadListFileFromClick(benchmark::State& state) {
    const std::string list =
        (std::filesystem::temp_directory_path() / "quillora-bench.lai").string();
    quillora::filelist::save_list_file(list, quillora::Mode::BmpToJpeg, many_paths(100000));
    FixedDialogs dialogs;
    dialogs.list = QString::fromStdString(list);
    quillora::set_dialogs(&dialogs);
    quillora::Tform_principal window;
    window.create_windows();
    window.show();
    for (auto _ : state) {
        click(window, "d_03");
        state.PauseTiming();
        if (window.findChild<QLabel*>("total_arquivos")->text() !=
            "100000 Arquivo(s) Adicionado(s)")
            state.SkipWithError("the list did not load whole");
        click(window, "d_01");
        state.ResumeTiming();
    }
    quillora::set_dialogs(nullptr);
    std::filesystem::remove(list);
}
BENCHMARK(BM_LoadListFileFromClick)->Unit(benchmark::kMillisecond)->UseRealTime();

// The capture's grab of the primary screen into a screen bitmap at each
// depth (the screen of the platform in use: run under Xvfb with
// QT_QPA_PLATFORM=xcb for a real one), and the viewer taking the picture.
void BM_GrabPrimaryScreen(benchmark::State& state) {
    quillora::display::ScopedDisplay depth(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        quillora::Bitmap capture = quillora::grab_primary_screen();
        if (capture.empty())
            state.SkipWithError("the system gave no picture");
        benchmark::DoNotOptimize(capture.row(0));
    }
}
BENCHMARK(BM_GrabPrimaryScreen)
    ->Arg(32)
    ->Arg(24)
    ->Arg(16)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ViewerTakesCapture(benchmark::State& state) {
    quillora::display::ScopedDisplay depth(32);
    quillora::Tform_screen viewer;
    const quillora::Bitmap capture = quillora::create_screen_bitmap(1920, 1080);
    for (auto _ : state) {
        state.PauseTiming();
        quillora::Bitmap copy = capture.clone();
        state.ResumeTiming();
        viewer.set_picture(std::move(copy));
        viewer.FormClose();
    }
}
BENCHMARK(BM_ViewerTakesCapture)->Unit(benchmark::kMillisecond)->UseRealTime();

// 200 BMPs of 1920 x 1080, made once per run.
const std::vector<std::string>& batch_pictures() {
    static const std::vector<std::string> paths = [] {
        const std::string dir =
            (std::filesystem::temp_directory_path() / "quillora-bench-batch").string();
        std::filesystem::create_directories(dir + "/out");
        quillora::Bitmap picture = quillora::create_screen_bitmap(1920, 1080);
        for (int y = 0; y < picture.height(); ++y) {
            std::uint8_t* row = picture.row(y);
            for (int x = 0; x < picture.width() * 4; ++x)
                row[x] = static_cast<std::uint8_t>(x * 7 + y * 3 + (x * y) % 29);
        }
        std::vector<std::string> made;
        for (int i = 0; i < 200; ++i) {
            made.push_back(dir + "/p" + std::to_string(i) + ".bmp");
            if (!std::filesystem::exists(made.back()))
                quillora::write_bmp(picture, made.back());
        }
        return made;
    }();
    return paths;
}

std::string batch_output() {
    return (std::filesystem::temp_directory_path() / "quillora-bench-batch" / "out").string();
}

// A window run of the 200 pictures to JPEG with N workers, from the click to
// the window closing, without the paced steps (each wait is 0).
void BM_WindowBatchRun(benchmark::State& state) {
    const auto& pictures = batch_pictures();
    const auto pacing = quillora::pacing_second();
    quillora::set_pacing_second(std::chrono::milliseconds(0));
    quillora::Tform_principal window;
    window.create_windows();
    window.show();
    window.batch_options().workers = static_cast<unsigned>(state.range(0));
    window.append(pictures);
    window.findChild<QLineEdit*>("diretorio_salvar")
        ->setText(QString::fromStdString(batch_output()));
    for (auto _ : state)
        click(window, "b02");
    quillora::set_pacing_second(pacing);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pictures.size()));
}
BENCHMARK(BM_WindowBatchRun)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same files through the engine alone, as quillora-convert runs them.
void BM_EngineBatchRun(benchmark::State& state) {
    const auto& pictures = batch_pictures();
    const quillora::BatchPlan plan =
        quillora::plan_batch(quillora::Mode::BmpToJpeg, pictures, batch_output());
    quillora::BatchOptions options;
    options.workers = static_cast<unsigned>(state.range(0));
    for (auto _ : state)
        quillora::run_batch(plan, options, {});
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pictures.size()));
}
BENCHMARK(BM_EngineBatchRun)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char config[] = "/tmp/quillora-bench-XXXXXX";
    if (::mkdtemp(config) != nullptr)
        ::setenv("XDG_CONFIG_HOME", config, 1);
    quillora::Application app(argc, argv);
    Q_INIT_RESOURCE(quillora);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
