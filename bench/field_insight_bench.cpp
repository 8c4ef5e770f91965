// What the field window's analysis keys cost, for sin(x)*cos(y), x*x*x - 3*x*y*y over -5 … 5:
// the map's evaluation and picture, the equilibria, the first presses of D, E and I in a real
// window until the markers are there (goal: D and E together at most 100 ms), and a whole frame
// with a map shown. Headless.

#include "bench_field.h"
#include "equilibrium_markers.h"
#include "field_analysis.h"
#include "field_map_layer.h"
#include "function_interpreter.h"
#include "mygraphicsview.h"
#include "vfwindow.h"

#include <QApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {

constexpr const char* kFx = "sin(x)*cos(y)";
constexpr const char* kFy = "x*x*x - 3*x*y*y";
const QRectF kRegion(-5, -5, 10, 10);
// Cells along the longer side of the region, as the window samples its maps.
constexpr int kWindowCells = 320;

// A set-up window whose view is 1280 × 800, its timer stopped.
std::unique_ptr<VFWindow> openWindow()
{
    auto window = std::make_unique<VFWindow>(nullptr);
    window->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
    showFieldAt1280x800(*window, 1, kFx, kFy);
    return window;
}

struct Analysis
{
    FunctionInterpreter fx{kFx};
    FunctionInterpreter fy{kFy};
    FieldAnalysis analysis{fx, fy};
};

void MapSampling(benchmark::State& state)
{
    const Analysis field;
    MapGrid grid = mapGridOver(kRegion, int(state.range(0)));
    for (auto _ : state) {
        sampleMap(field.analysis, MapQuantity::Divergence, grid);
        benchmark::DoNotOptimize(grid.values.data());
    }
    state.counters["points"] = double(grid.values.size());
}
BENCHMARK(MapSampling)->Arg(256)->Arg(kWindowCells)->Unit(benchmark::kMillisecond);

// Sampling plus the colour scale and the picture: the whole map of one key press.
void MapPicture(benchmark::State& state)
{
    const Analysis field;
    for (auto _ : state) {
        MapGrid grid = mapGridOver(kRegion, kWindowCells);
        sampleMap(field.analysis, MapQuantity::Divergence, grid);
        const FieldMapLayer layer(MapQuantity::Divergence, grid);
        benchmark::DoNotOptimize(layer.picture().constBits());
    }
}
BENCHMARK(MapPicture)->Unit(benchmark::kMillisecond);

void Equilibria(benchmark::State& state)
{
    const Analysis field;
    size_t count = 0;
    for (auto _ : state)
        count = field.analysis.Equilibria(-5, 5, -5, 5, false).size();
    state.counters["equilibria"] = double(count);
}
BENCHMARK(Equilibria)->Unit(benchmark::kMillisecond);

// Until the search that E started has put its markers up: it runs beside the window.
void waitForMarkers(const VFWindow& window)
{
    QGraphicsScene* scene = window.findChild<MyGraphicsView*>()->scene();
    for (;;) {
        for (QGraphicsItem* item : scene->items()) {
            const auto* markers = dynamic_cast<const EquilibriumMarkers*>(item);
            if (markers && !markers->markers().isEmpty()) return;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
}

// The first presses in a fresh window, from building the analysis to the items in the scene
// (the markers after their search).
void FirstPresses(benchmark::State& state, std::vector<int> keys)
{
    const bool searches = std::find(keys.begin(), keys.end(), int(Qt::Key_E)) != keys.end();
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<VFWindow> window = openWindow();
        state.ResumeTiming();
        for (int key : keys)
            window->keyPressed(key, Qt::NoModifier);
        if (searches) waitForMarkers(*window);
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}
// The process's CPU time: the search's thread counts too.
BENCHMARK_CAPTURE(FirstPresses, D, std::vector<int>{Qt::Key_D})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(FirstPresses, E, std::vector<int>{Qt::Key_E})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(FirstPresses, D_E, std::vector<int>{Qt::Key_D, Qt::Key_E})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(FirstPresses, D_E_I, std::vector<int>{Qt::Key_D, Qt::Key_E, Qt::Key_I})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

// A whole 1280 × 800 frame of the view, as the viewport paints it.
void Frame(benchmark::State& state, std::vector<int> keys)
{
    std::unique_ptr<VFWindow> window = openWindow();
    for (int key : keys)
        window->keyPressed(key, Qt::NoModifier);
    if (std::find(keys.begin(), keys.end(), int(Qt::Key_E)) != keys.end()) waitForMarkers(*window);
    QWidget* viewport = window->findChild<MyGraphicsView*>()->viewport();
    for (auto _ : state)
        benchmark::DoNotOptimize(viewport->grab());
}
BENCHMARK_CAPTURE(Frame, designed, std::vector<int>{})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, divergence_map, std::vector<int>{Qt::Key_D})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, map_and_markers, std::vector<int>{Qt::Key_D, Qt::Key_E})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
