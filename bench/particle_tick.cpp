// Cost of one animation tick of a field window, and of one tick plus the frame it draws, for
// growing numbers of particles and both kinds of scene index. Runs headless.

#include "mygraphicsview.h"
#include "vfwindow.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr qint64 kTickMs = 10;
// An acceleration field drops its particles; start them again before they leave the region.
constexpr int kTicksPerThrow = 300;

class FieldBench
{
public:
    FieldBench(int mode, int dots, QGraphicsScene::ItemIndexMethod index)
        : mode(mode), dots(dots), window(nullptr)
    {
        window.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
        FieldSettings s;
        s.xMin = s.yMin = -5.0;
        s.xMax = s.yMax = 5.0;
        s.xCount = s.yCount = 20;
        s.mode = mode;
        s.fxText = mode == 1 ? "-y" : "0";
        s.fyText = mode == 1 ? "x" : "-1";
        window.setupField(s);
        view = window.findChild<MyGraphicsView*>();
        view->scene()->setItemIndexMethod(index);

        // Size the window so that the view itself is 1280 × 800.
        window.showNormal();
        window.resize(QSize(1280, 800) + (window.size() - view->size()));
        QCoreApplication::processEvents();
        frame = QImage(view->size(), QImage::Format_ARGB32_Premultiplied);
        restart();
    }

    void restart()
    {
        window.keyPressed(Qt::Key_Space, Qt::NoModifier);
        const int side = int(std::ceil(std::sqrt(mode == 1 ? dots / 10 : dots)));
        // Spread over the region; thrown particles start in its lower half.
        const double height = mode == 1 ? 9.0 : 4.5;
        auto at = [side, height](int i) {
            return QPointF(-4.5 + 9.0 * (i % side) / side, -4.5 + height * (i / side) / side);
        };
        if (mode == 1) {
            for (int i = 0; i < dots / 10; ++i)
                window.mousePressed(at(i));
        } else {
            for (int i = 0; i < dots; ++i)
                window.mouseDragged(at(i), QVector2D(0.5f, 3.0f));
        }
        ticks = 0;
    }

    void tick(benchmark::State& state)
    {
        if (mode != 1 && ++ticks == kTicksPerThrow) {
            state.PauseTiming();
            restart();
            state.ResumeTiming();
        }
        window.advanceDots(kTickMs);
    }

    // What the event loop does after a tick: the scene collects what moved, then the view
    // draws a frame.
    void draw()
    {
        QCoreApplication::sendPostedEvents(view->scene(), QEvent::MetaCall);
        QPainter painter(&frame);
        view->render(&painter);
    }

    QSize viewSize() const { return view->size(); }

private:
    int mode;
    int dots;
    int ticks = 0;
    VFWindow window;
    MyGraphicsView* view;
    QImage frame;
};

void run(benchmark::State& state, int mode, QGraphicsScene::ItemIndexMethod index, bool render)
{
    FieldBench bench(mode, int(state.range(0)), index);
    if (bench.viewSize() != QSize(1280, 800)) {
        state.SkipWithError("the view did not get 1280 x 800");
        return;
    }
    for (auto _ : state) {
        bench.tick(state);
        if (render) bench.draw();
    }
}

void registerAll()
{
    struct Variant
    {
        const char* name;
        int mode;
    };
    const Variant fields[] = {{"velocity (-y, x)", 1}, {"acceleration (0, -1)", 2}};
    const std::pair<const char*, QGraphicsScene::ItemIndexMethod> indexes[] = {
        {"NoIndex", QGraphicsScene::NoIndex}, {"BspTreeIndex", QGraphicsScene::BspTreeIndex}};
    for (const auto& [indexName, index] : indexes) {
        for (const Variant& field : fields) {
            for (const bool render : {false, true}) {
                const std::string name =
                    std::string(render ? "tick+render/" : "tick/") + field.name + "/" + indexName;
                benchmark::RegisterBenchmark(name.c_str(), run, field.mode, index, render)
                    ->Arg(100)
                    ->Arg(1000)
                    ->Arg(10000)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(1.0);
            }
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
