// Frames the live field window actually paints per second, its own timer running: the
// viewport's paint events over a few seconds, with 1,000 and 10,000 particles. Runs headless
// unless QT_QPA_PLATFORM says otherwise; the view is 1280 × 800.
//
//     live_frames [seconds [dots [velocity|acceleration]]]

#include "bench_field.h"
#include "mygraphicsview.h"
#include "qgraphicsdot.h"
#include "vfwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Result
{
    double framesPerSecond;
    double ticksPerSecond;
    double visible;
};

Result measure(int mode, const char* fx, const char* fy, int dots, int seconds)
{
    VFWindow window(nullptr);
    auto* timer = window.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    showFieldAt1280x800(window, mode, fx, fy);
    auto* view = window.findChild<MyGraphicsView*>();
    spreadDots(window, mode, dots);
    runEventLoop(500);

    CountPaints counter;
    view->viewport()->installEventFilter(&counter);
    int ticks = 0;
    QObject::connect(timer, &QTimer::timeout, [&ticks] { ++ticks; });
    QElapsedTimer clock;
    clock.start();
    runEventLoop(seconds * 1000);
    const double elapsed = clock.nsecsElapsed() / 1e9;
    view->viewport()->removeEventFilter(&counter);

    int inside = 0;
    int all = 0;
    for (QGraphicsItem* item : view->scene()->items()) {
        if (!dynamic_cast<QGraphicsDot*>(item)) continue;
        ++all;
        inside += view->sceneRect().contains(item->pos());
    }
    return {counter.paints / elapsed, ticks / elapsed, all ? double(inside) / all : 0.0};
}

} // namespace

int main(int argc, char* argv[])
{
    // Headless unless a platform is asked for (QT_QPA_PLATFORM=xcb on a display, say).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int onlyDots = argc > 2 ? std::atoi(argv[2]) : 0;
    const QString onlyField = argc > 3 ? QString(argv[3]) : QString();

    struct Field
    {
        const char* name;
        int mode;
        const char* fx;
        const char* fy;
    };
    const Field fields[] = {{"velocity (-y, x)", 1, "-y", "x"},
                            {"acceleration (0, -1)", 2, "0", "-1"}};
    std::printf("%-22s %7s %10s %9s %8s\n", "field", "dots", "frames/s", "ticks/s", "visible");
    for (const Field& field : fields) {
        if (!QString(field.name).startsWith(onlyField)) continue;
        for (const int dots : {1000, 10000}) {
            if (onlyDots && dots != onlyDots) continue;
            const Result r = measure(field.mode, field.fx, field.fy, dots, seconds);
            std::printf("%-22s %7d %10.1f %9.1f %7.0f%%\n", field.name, dots, r.framesPerSecond,
                        r.ticksPerSecond, 100 * r.visible);
            std::fflush(stdout);
        }
    }
    return 0;
}
