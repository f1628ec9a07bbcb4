// The mode switch with large stored lists, in the real main window.
#include <benchmark/benchmark.h>

#include <QListWidget>
#include <QTabBar>
#include <cstdlib>

#include "app/application_qt.h"
#include "app/frm_principal.h"

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

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    quillora::Application app(argc, argv);
    Q_INIT_RESOURCE(quillora);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
