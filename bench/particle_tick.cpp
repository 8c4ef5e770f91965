// Cost of one animation tick of a field window, alone and with the frame the live window then
// paints, for growing numbers of particles, both kinds of field and three pairs of formulas.
// Runs headless; the view is 1280 × 800.
//
// "tick+frame" goes the live window's way: the scene collects what moved, the view turns that
// into dirty regions of its viewport and has its window paint them. "tick+full" paints the
// whole viewport after the tick, as an expose or a resize does. "flow+frame" is the flow view
// (key F) with as many flow particles and no dropped ones, tick and frame.

#include "bench_field.h"
#include "mygraphicsview.h"
#include "qgraphicsdot.h"
#include "vfwindow.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 kTickMs = 10;
// Particles that leave the region cost nothing to draw; start them again before too many have.
constexpr double kLeastVisible = 0.75;
constexpr int kTicksBetweenChecks = 10;

struct Formulas
{
    const char* name;
    const char* fx;
    const char* fy;
};

const Formulas kFormulas[] = {
    {"(-y, x)", "-y", "x"},
    {"(0, -1)", "0", "-1"},
    {"(sin(x)*cos(y), x*x*x - 3*x*y*y)", "sin(x)*cos(y)", "x*x*x - 3*x*y*y"}};

enum class Frame
{
    None,
    Dirty, // what the scene reported after the tick, through the window's update request
    Full   // the whole viewport
};

class FieldBench
{
public:
    FieldBench(int mode, const Formulas& formulas, int dots, int flowParticles = 0)
        : mode(mode), dots(dots), window(nullptr)
    {
        window.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
        ready = showFieldAt1280x800(window, mode, formulas.fx, formulas.fy);
        view = window.findChild<MyGraphicsView*>();
        view->viewport()->installEventFilter(&counter);
        if (flowParticles > 0) {
            window.keyPressed(Qt::Key_F, Qt::NoModifier);
            window.setFlowParticleCount(flowParticles);
            flowShown = window.flowParticleCount() == flowParticles;
        }
        restart();
    }

    bool ok() const { return ready && flowShown; }

    void restart()
    {
        window.keyPressed(Qt::Key_Space, Qt::NoModifier);
        spreadDots(window, mode, dots);
        // A few whole frames, so that timing starts in the steady state.
        const int paintsBefore = counter.paints;
        for (int i = 0; i < 5; ++i) {
            window.advanceDots(kTickMs);
            QCoreApplication::processEvents();
            view->viewport()->repaint();
        }
        counter.paints = paintsBefore;
        ticks = 0;
    }

    double visibleShare() const
    {
        const QRectF region = view->sceneRect();
        int inside = 0;
        int all = 0;
        for (QGraphicsItem* item : view->scene()->items()) {
            if (!dynamic_cast<QGraphicsDot*>(item)) continue;
            ++all;
            inside += region.contains(item->pos());
        }
        return all ? double(inside) / all : 1.0;
    }

    // Starts the particles again, outside the timing, when too many have left the region.
    void keepInView(benchmark::State& state)
    {
        if (++ticks % kTicksBetweenChecks != 0) return;
        state.PauseTiming();
        const double share = visibleShare();
        visibleSum += share;
        ++checks;
        if (share < kLeastVisible) restart();
        state.ResumeTiming();
    }

    // One tick, and the frame the live window paints after it. Kept out of line so that a
    // profiler can count just this (valgrind --toggle-collect='*FieldBench::step*').
    [[gnu::noinline]] void step(Frame frame)
    {
        window.advanceDots(kTickMs);
        if (frame == Frame::None) return;
        if (frame == Frame::Full) view->viewport()->update();
        // What the event loop does after a tick: the scene collects what moved, and the view
        // has its window paint the dirty part at once.
        QCoreApplication::sendPostedEvents(view->scene(), QEvent::MetaCall);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }

    int paints() const { return counter.paints; }
    double meanVisible() const { return checks ? visibleSum / checks : 1.0; }

private:
    int mode;
    int dots;
    int ticks = 0;
    int checks = 0;
    double visibleSum = 0.0;
    bool ready = false;
    bool flowShown = true;
    VFWindow window;
    MyGraphicsView* view;
    CountPaints counter;
};

void run(benchmark::State& state, int mode, const Formulas* formulas, Frame frame, bool flow)
{
    const int count = int(state.range(0));
    FieldBench bench(mode, *formulas, flow ? 0 : count, flow ? count : 0);
    if (!bench.ok()) {
        state.SkipWithError("no field, or the view did not get 1280 x 800");
        return;
    }
    const int paintsBefore = bench.paints();
    for (auto _ : state) {
        bench.keepInView(state);
        bench.step(frame);
    }
    // Each iteration must have painted exactly one frame, or the figure measures something else.
    state.counters["paints/tick"] = double(bench.paints() - paintsBefore) / state.iterations();
    state.counters["visible"] = bench.meanVisible();
}

void keepMinimum(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Unit(benchmark::kMillisecond)
        ->MinTime(1.0)
        // Other work on the machine only ever adds time.
        ->ComputeStatistics("min", [](const std::vector<double>& v) {
            return *std::min_element(v.begin(), v.end());
        });
}

void registerAll()
{
    const std::pair<const char*, int> modes[] = {{"velocity", 1}, {"acceleration", 2}};
    const std::pair<const char*, Frame> frames[] = {
        {"tick", Frame::None}, {"tick+frame", Frame::Dirty}, {"tick+full", Frame::Full}};
    for (const auto& [frameName, frame] : frames) {
        for (const auto& [modeName, mode] : modes) {
            for (const Formulas& formulas : kFormulas) {
                const std::string name =
                    std::string(frameName) + "/" + modeName + " " + formulas.name;
                keepMinimum(
                    benchmark::RegisterBenchmark(name.c_str(), run, mode, &formulas, frame, false)
                        ->Arg(100)
                        ->Arg(1000)
                        ->Arg(10000));
            }
        }
    }
    for (const auto& [modeName, mode] : modes) {
        for (const Formulas& formulas : kFormulas) {
            if (std::string(formulas.fx) == "0") continue; // flow particles need a flow
            const std::string name = std::string("flow+frame/") + modeName + " " + formulas.name;
            keepMinimum(
                benchmark::RegisterBenchmark(name.c_str(), run, mode, &formulas, Frame::Dirty, true)
                    ->Arg(20000)
                    ->Arg(100000));
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
