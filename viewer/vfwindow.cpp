#include "vfwindow.h"

#include "compile_formula.h"
#include "function_interpreter.h"
#include "mygraphicsview.h"
#include "qgraphicsarrow.h"
#include "qgraphicsdot.h"

#include <QCloseEvent>
#include <QGraphicsLineItem>
#include <QGraphicsPathItem>
#include <QGridLayout>
#include <QTimer>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

// The longest vector is drawn this many grid-cell sides long.
constexpr double kLongestArrow = 0.7071;

// From about this many particles on, their rectangles cover the view anyway: repainting all
// of it costs less than working out what they cover.
constexpr int kDotsForFullUpdates = 500;

QGraphicsView::ViewportUpdateMode updatesFor(int dots)
{
    return dots >= kDotsForFullUpdates ? QGraphicsView::FullViewportUpdate
                                       : QGraphicsView::BoundingRectViewportUpdate;
}

struct SampledPoint
{
    QPointF at;
    QVector2D value;
};

} // namespace

VFWindow::VFWindow(QWidget* parent)
    : QWidget(parent), timer(nullptr), view(nullptr), scene(nullptr), expressions(nullptr),
      xSlot(variableStore.slotFor(QStringLiteral("x"))),
      ySlot(variableStore.slotFor(QStringLiteral("y")))
{
    // Every particle moves on every tick, and nothing looks items up by place: an index would
    // only be taken apart and rebuilt each frame.
    scene.setItemIndexMethod(QGraphicsScene::NoIndex);

    auto* layout = new QGridLayout(this);
    layout->setColumnStretch(0, 1);

    view = new MyGraphicsView(&scene);
    layout->addWidget(view, 0, 0);
    connect(view, SIGNAL(mousePressed(QPointF)), this, SLOT(mousePressed(QPointF)));
    connect(view, SIGNAL(mouseDragged(QPointF, QVector2D)), this,
            SLOT(mouseDragged(QPointF, QVector2D)));
    connect(view, SIGNAL(keyPressed(int, Qt::KeyboardModifiers)), this,
            SLOT(keyPressed(int, Qt::KeyboardModifiers)));

    layout->addLayout(new QGridLayout, 0, 1);

    showMaximized();
    frameClock.start();

    timer = new QTimer(this);
    timer->setInterval(10);
    connect(timer, SIGNAL(timeout()), this, SLOT(update()));
    timer->start();
}

VFWindow::~VFWindow()
{
    // Nothing may evaluate the formulas once they are gone.
    timer->stop();
    fieldReady = false;
    expressions.clear();
    formulas.clear();
}

bool VFWindow::setupField(const FieldSettings& s)
{
    settings = s;
    fieldReady = false;
    expressions.clear();
    expressions.setStore(&variableStore);

    // Dots dropped before set-up would be deleted by clear() behind the map's back.
    clearDots();
    scene.clear();
    view->setTransform(QTransform::fromScale(1, -1)); // scene y grows upwards

    const double w = settings.xMax - settings.xMin;
    const double h = settings.yMax - settings.yMin;
    const QPen guidePen(QBrush(Qt::blue, Qt::SolidPattern), 0.05, Qt::SolidLine, Qt::SquareCap,
                        Qt::BevelJoin);

    guideLine = scene.addLine(settings.xMin + w / 2, settings.yMin, settings.xMin + w / 2,
                              settings.yMin + h, guidePen);
    guideLine->hide();

    QPainterPath curve(QPointF(settings.xMin + w / 2, settings.yMin));
    curve.cubicTo(QPointF(settings.xMin + w, settings.yMin + h / 2),
                  QPointF(settings.xMin, settings.yMin + h / 2),
                  QPointF(settings.xMin + w / 2, settings.yMin + h));
    guideCurve = scene.addPath(curve, guidePen, QBrush(Qt::NoBrush));
    guideCurve->hide();

    FunctionInterpreter* fx = CompileFormula(QStringLiteral("Fx"), settings.fxText);
    if (!fx) return false;
    formulas.emplace_back(fx);
    fxIndex = expressions.addShared(fx);

    FunctionInterpreter* fy = CompileFormula(QStringLiteral("Fy"), settings.fyText);
    if (!fy) return false;
    formulas.emplace_back(fy);
    fyIndex = expressions.addShared(fy);

    expressions.bindAll();

    scene.setSceneRect(settings.xMin, settings.yMin, w, h);
    resizeEvent(nullptr);

    const double shorterSide = std::min(scene.sceneRect().width(), scene.sceneRect().height());
    dotSize = 0.01 * shorterSide;
    arrowSize = 0.002 * shorterSide;

    if (settings.mode == 1)
        view->setDropMode();
    else
        view->setLaunchMode();

    QVector<SampledPoint> sampled;
    QVector<QPointF> failed;
    if (settings.xCount > 0 && settings.yCount > 0)
        sampled.reserve(settings.xCount * settings.yCount);
    float longest = 0.0f;
    for (int i = 0; i < settings.xCount; ++i) {
        const double x = settings.xMin + (i + 0.5) * w / settings.xCount;
        *xSlot = x;
        for (int j = 0; j < settings.yCount; ++j) {
            const double y = settings.yMin + (j + 0.5) * h / settings.yCount;
            *ySlot = y;
            try {
                expressions.refresh();
                const float fyValue = float(expressions.valueAt(fyIndex));
                const float fxValue = float(expressions.valueAt(fxIndex));
                const QVector2D value(fxValue, fyValue);
                sampled.append(SampledPoint{QPointF(x, y), value});
                const float length = value.length();
                if (length > longest) longest = length; // a NaN length never wins
            } catch (...) {
                failed.append(QPointF(x, y));
            }
        }
    }

    float scale = 1.0f;
    if (longest > 0.0f) {
        const double cell = std::min(scene.sceneRect().height() / settings.yCount,
                                     scene.sceneRect().width() / settings.xCount);
        scale = float(kLongestArrow / longest * cell);
    }
    for (const SampledPoint& point : qAsConst(sampled))
        scene.addItem(new QGraphicsArrow(point.at, arrowSize, point.value * scale));
    for (const QPointF& point : qAsConst(failed)) {
        auto* arrow = new QGraphicsArrow(point, arrowSize, QVector2D());
        arrow->clearPath();
        scene.addItem(arrow);
    }

    fieldReady = true;
    return true;
}

void VFWindow::resizeEvent(QResizeEvent*)
{
    view->fitInView(scene.sceneRect(), Qt::KeepAspectRatioByExpanding);
}

void VFWindow::closeEvent(QCloseEvent* event)
{
    emit closed();
    event->accept();
}

void VFWindow::update()
{
    // The clock runs on and each tick gets the whole milliseconds since the last one handed
    // out: restarting it would drop the fraction of a millisecond at every tick, half a
    // millisecond in ten at the timer's rate, and slow every particle down by 5 %.
    const qint64 now = frameClock.elapsed();
    advanceDots(now - tickedMs);
    tickedMs = now;
}

void VFWindow::advanceDots(qint64 elapsedMs)
{
    if (!fieldReady) return;
    const double dt = (elapsedMs / 1000.0) / substeps;
    const bool velocityField = settings.mode == 1;

    for (auto it = dotVelocities.begin(), end = dotVelocities.end(); it != end; ++it) {
        QGraphicsDot* dot = it.key();
        QVector2D& velocity = it.value();
        const QPointF start = dot->pos();
        double x = start.x();
        double y = start.y();
        *xSlot = x;
        *ySlot = y;
        for (int step = 0; step < substeps; ++step) {
            bool evaluated = true;
            try {
                expressions.refresh();
                if (velocityField) {
                    // Fy sees the new x: this keeps closed orbits closed.
                    x += expressions.valueAt(fxIndex) * dt;
                    *xSlot = x;
                    y += expressions.valueAt(fyIndex) * dt;
                } else {
                    const double fy = expressions.valueAt(fyIndex);
                    const double fx = expressions.valueAt(fxIndex);
                    velocity.setY(velocity.y() + float(fy * dt));
                    velocity.setX(velocity.x() + float(fx * dt));
                    x += velocity.x() * dt;
                    y += velocity.y() * dt;
                }
            } catch (...) {
                evaluated = false;
            }
            // An infinite or NaN position counts as a failure too: the scene cannot place it.
            if (!evaluated || !std::isfinite(x) || !std::isfinite(y)) {
                x = start.x();
                y = start.y();
            }
            *xSlot = x;
            *ySlot = y;
        }
        dot->notifyGeometryChange();
        dot->setPos(x, y);
    }
}

void VFWindow::mousePressed(QPointF p)
{
    for (int i = 0; i < 10; ++i) {
        const double a = 2 * M_PI * i / 10;
        const QPointF offset(std::cos(a), std::sin(a));
        addDot(p + 1.5 * dotSize * offset, QColor::fromHslF(i / 10.0, 0.9, 0.6, 1.0),
               QVector2D(0, 0));
    }
}

void VFWindow::mouseDragged(QPointF p, QVector2D v)
{
    addDot(p, QColor(Qt::red), v);
}

void VFWindow::keyPressed(int key, Qt::KeyboardModifiers)
{
    switch (key) {
    case Qt::Key_L:
        if (guideLine) guideLine->setVisible(!guideLine->isVisible());
        break;
    case Qt::Key_C:
        if (guideCurve) guideCurve->setVisible(!guideCurve->isVisible());
        break;
    case Qt::Key_Space:
        clearDots();
        break;
    default:
        break;
    }
}

void VFWindow::addDot(QPointF pos, const QColor& color, QVector2D velocity)
{
    auto* dot = new QGraphicsDot(dotSize, color);
    dot->setPos(pos);
    scene.addItem(dot);
    dotVelocities.insert(dot, velocity);
    view->setViewportUpdateMode(updatesFor(dotVelocities.size()));
}

void VFWindow::clearDots()
{
    while (!dotVelocities.isEmpty()) {
        auto first = dotVelocities.begin();
        scene.removeItem(first.key());
        delete first.key();
        dotVelocities.erase(first);
    }
    view->setViewportUpdateMode(updatesFor(0));
}
