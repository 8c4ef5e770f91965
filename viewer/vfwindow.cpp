#include "vfwindow.h"

#include "batch_evaluator.h"
#include "compile_formula.h"
#include "fading_layer.h"
#include "field_insight.h"
#include "flow_field.h"
#include "flow_layer.h"
#include "function_interpreter.h"
#include "help_overlay.h"
#include "mygraphicsview.h"
#include "particle_stepper.h"
#include "picture_export.h"
#include "qgraphicsarrow.h"
#include "qgraphicsdot.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsLineItem>
#include <QGraphicsPathItem>
#include <QGridLayout>
#include <QMessageBox>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

// The longest vector is drawn this many grid-cell sides long.
constexpr double kLongestArrow = 0.7071;

// A trail keeps 1/e of its strength after this many seconds, so it shows for a second or so.
constexpr double kTrailLifetime = 0.3;

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

FieldSettings formFieldSettings(int mode, const QString& fxText, const QString& fyText)
{
    FieldSettings settings;
    settings.xMin = -5.0;
    settings.xMax = 5.0;
    settings.yMin = -5.0;
    settings.yMax = 5.0;
    settings.xCount = 20;
    settings.yCount = 20;
    settings.mode = mode;
    settings.fxText = fxText;
    settings.fyText = fyText;
    return settings;
}

VFWindow::VFWindow(QWidget* parent)
    : QWidget(parent), timer(nullptr), view(nullptr), scene(nullptr), expressions(nullptr)
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

    sideColumn = new QGridLayout;
    layout->addLayout(sideColumn, 0, 1);

    // A child of the view rather than of its viewport, which would scroll it with the field.
    // The layers draw only where the view looks; scrolling moves that.
    for (QScrollBar* bar : {view->horizontalScrollBar(), view->verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [this] { fitLayers(); });

    help = new HelpOverlay(view);
    help->move(8, 8);
    help->resize(help->sizeHint());

    showMaximized();
    frameClock.start();

    timer = new QTimer(this);
    timer->setInterval(10);
    connect(timer, SIGNAL(timeout()), this, SLOT(update()));
    timer->start();
}

VFWindow::~VFWindow()
{
    // The scene goes before the view and its scroll bars, which must not reach its items then.
    for (QScrollBar* bar : {view->horizontalScrollBar(), view->verticalScrollBar()})
        bar->disconnect(this);
    trails = nullptr;
    flowLayer = nullptr;
    // Nothing may evaluate the formulas once they are gone.
    timer->stop();
    insight.reset();
    fieldReady = false;
    flow.reset();
    stepper.reset();
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
    insight.reset();
    scene.clear();
    trails = nullptr;
    flowLayer = nullptr;
    flow.reset();
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

    FunctionInterpreter* fx =
        CompileFormula(QStringLiteral("Fx"), settings.fxText, &rejected.error);
    if (!fx) {
        rejected.label = QStringLiteral("Fx");
        return false;
    }
    formulas.emplace_back(fx);
    fxIndex = expressions.addShared(fx);

    FunctionInterpreter* fy =
        CompileFormula(QStringLiteral("Fy"), settings.fyText, &rejected.error);
    if (!fy) {
        rejected.label = QStringLiteral("Fy");
        return false;
    }
    formulas.emplace_back(fy);
    fyIndex = expressions.addShared(fy);

    expressions.bindAll();
    stepper = std::make_unique<ParticleStepper>(*fx, *fy,
                                                settings.mode == 1
                                                    ? ParticleStepper::Field::kVelocity
                                                    : ParticleStepper::Field::kAcceleration);

    scene.setSceneRect(settings.xMin, settings.yMin, w, h);
    resizeEvent(nullptr);

    const double shorterSide = std::min(scene.sceneRect().width(), scene.sceneRect().height());
    dotSize = 0.01 * shorterSide;
    arrowSize = 0.002 * shorterSide;

    if (settings.mode == 1)
        view->setDropMode();
    else
        view->setLaunchMode();

    // All grid points at once, column by column as the arrows are laid out.
    const int pointCount = std::max(settings.xCount, 0) * std::max(settings.yCount, 0);
    std::vector<double> gridX(pointCount), gridY(pointCount), fxValues(pointCount),
        fyValues(pointCount);
    std::vector<int> fxErrors(pointCount), fyErrors(pointCount);
    for (int i = 0, point = 0; i < settings.xCount; ++i) {
        for (int j = 0; j < settings.yCount; ++j, ++point) {
            gridX[point] = settings.xMin + (i + 0.5) * w / settings.xCount;
            gridY[point] = settings.yMin + (j + 0.5) * h / settings.yCount;
        }
    }
    for (auto [formula, values, errors] : {std::tuple{fy, fyValues.data(), fyErrors.data()},
                                           std::tuple{fx, fxValues.data(), fxErrors.data()}}) {
        BatchEvaluator batch(*formula);
        batch.BindColumn("x", gridX.data());
        batch.BindColumn("y", gridY.data());
        batch.Evaluate(pointCount, values, errors);
    }

    QVector<SampledPoint> sampled;
    QVector<QPointF> failed;
    sampled.reserve(pointCount);
    float longest = 0.0f;
    double longestExactly = 0.0;
    for (int point = 0; point < pointCount; ++point) {
        const QPointF at(gridX[point], gridY[point]);
        const float fyValue = float(fyValues[point]);
        const float fxValue = float(fxValues[point]);
        // A vector beyond single precision has no length to scale the others by.
        if (fxErrors[point] >= 0 || fyErrors[point] >= 0 || !std::isfinite(fxValue) ||
            !std::isfinite(fyValue)) {
            failed.append(at);
            continue;
        }
        const QVector2D value(fxValue, fyValue);
        sampled.append(SampledPoint{at, value});
        const float length = value.length();
        if (length > longest) longest = length; // a NaN length never wins
        longestExactly = std::max(longestExactly, std::hypot(double(fxValue), double(fyValue)));
    }

    const double cell = sampled.isEmpty() ? 0.0
                                          : std::min(scene.sceneRect().height() / settings.yCount,
                                                     scene.sceneRect().width() / settings.xCount);
    float scale = 1.0f;
    if (longest > 0.0f) scale = float(kLongestArrow / longest * cell);
    // Single precision runs out for fields whose largest vector is near its limits (1e-40, or a
    // length beyond 3.4e38): the common factor becomes 0 or infinite and every arrow vanishes.
    // Those fields are scaled in double precision instead; all others exactly as always.
    const bool scaleExactly =
        longestExactly > 0.0 && (!std::isfinite(longest) || !std::isfinite(scale) || scale == 0.0f);
    const double exactScale = scaleExactly ? kLongestArrow / longestExactly * cell : 0.0;
    for (const SampledPoint& point : qAsConst(sampled)) {
        const QVector2D drawn = scaleExactly ? QVector2D(float(point.value.x() * exactScale),
                                                         float(point.value.y() * exactScale))
                                             : point.value * scale;
        scene.addItem(new QGraphicsArrow(point.at, arrowSize, drawn));
    }
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
    fitLayers();
    if (insight) insight->refit(view->transform());
}

void VFWindow::fitLayers()
{
    const QRectF shown = view->mapToScene(view->viewport()->rect()).boundingRect();
    for (FadingLayer* layer :
         {static_cast<FadingLayer*>(trails), static_cast<FadingLayer*>(flowLayer)}) {
        if (!layer) continue;
        layer->fitTo(view->transform(), view->devicePixelRatioF());
        layer->limitTo(shown);
    }
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
    // millisecond in ten at the timer's rate, and slow every particle down by 5 %. Paused,
    // the time passes unused, so nothing jumps on resuming.
    const qint64 now = frameClock.elapsed();
    if (!paused) advanceDots(now - tickedMs);
    tickedMs = now;
}

void VFWindow::advanceDots(qint64 elapsedMs)
{
    if (!fieldReady) return;
    const double dt = (elapsedMs / 1000.0) / substeps;
    if (flowLayer && flowLayer->isVisible()) {
        flow->Tick(elapsedMs / 1000.0, substeps);
        flowLayer->drawStep(*flow, elapsedMs / 1000.0);
    }
    const bool velocityField = settings.mode == 1;
    int trailWidth = 0; // pixels; 0 draws no trails
    if (trails && trails->isVisible()) {
        trails->fade(elapsedMs / 1000.0, kTrailLifetime);
        const double dotPixels = dotSize * std::abs(view->transform().m11());
        trailWidth = std::max(1, int(std::lround(0.3 * dotPixels * view->devicePixelRatioF())));
    }

    // Every dot of a substep at once; per dot the outcome is that of stepping it alone.
    const int count = dotVelocities.size();
    if (count == 0) return;
    if (dotX.size() < size_t(count)) {
        for (auto* column : {&dotX, &dotY, &startX, &startY})
            column->resize(count);
        dotVX.resize(count);
        dotVY.resize(count);
    }
    int i = 0;
    for (auto it = dotVelocities.cbegin(), end = dotVelocities.cend(); it != end; ++it, ++i) {
        const QPointF at = it.key()->pos();
        startX[i] = dotX[i] = at.x();
        startY[i] = dotY[i] = at.y();
        dotVX[i] = it.value().x();
        dotVY[i] = it.value().y();
    }
    stepper->Tick(count, dotX.data(), dotY.data(), dotVX.data(), dotVY.data(), dt, substeps);
    i = 0;
    for (auto it = dotVelocities.begin(), end = dotVelocities.end(); it != end; ++it, ++i) {
        QGraphicsDot* dot = it.key();
        if (!velocityField) it.value() = QVector2D(dotVX[i], dotVY[i]);
        dot->notifyGeometryChange();
        dot->setPos(dotX[i], dotY[i]);
        if (trailWidth > 0) {
            const QColor c = dot->dotColor();
            trails->drawLine(QPointF(startX[i], startY[i]), QPointF(dotX[i], dotY[i]),
                             qPremultiply(qRgba(c.red(), c.green(), c.blue(), 200)), trailWidth);
        }
    }
    if (trailWidth > 0) trails->update();
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
    case Qt::Key_P:
        paused = !paused;
        break;
    case Qt::Key_T:
        toggleTrails();
        break;
    case Qt::Key_F:
        toggleFlow();
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        setFlowParticleCount(flowCount * 2);
        break;
    case Qt::Key_Minus:
        setFlowParticleCount(flowCount / 2);
        break;
    case Qt::Key_S:
        savePictureAs();
        break;
    case Qt::Key_H:
    case Qt::Key_F1:
        help->setVisible(!help->isVisible());
        break;
    case Qt::Key_D:
        if (FieldInsight* extras = fieldInsight()) extras->toggleMap(MapQuantity::Divergence);
        break;
    case Qt::Key_R:
        if (FieldInsight* extras = fieldInsight()) extras->toggleMap(MapQuantity::Curl);
        break;
    case Qt::Key_E:
        if (FieldInsight* extras = fieldInsight()) extras->toggleMarkers();
        break;
    case Qt::Key_I:
        if (FieldInsight* extras = fieldInsight()) {
            if (extras->togglePanel()) resizeEvent(nullptr);
        }
        break;
    default:
        break;
    }
}

void VFWindow::savePictureAs()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save picture"), QDir(folder).filePath(QStringLiteral("vector-field.png")),
        tr("PNG image (*.png);;SVG drawing (*.svg)"));
    if (!path.isEmpty()) savePicture(path); // empty when cancelled
}

bool VFWindow::savePicture(const QString& path)
{
    if (writePicture(*view, path)) return true;
    QMessageBox::warning(this, tr("Picture not saved"),
                         tr("The picture could not be written to \"%1\".").arg(path));
    return false;
}

void VFWindow::toggleTrails()
{
    if (!fieldReady) return;
    if (!trails) {
        trails = new FadingLayer(scene.sceneRect());
        trails->hide();
        scene.addItem(trails);
        fitLayers();
    }
    trails->clear();
    trails->setVisible(!trails->isVisible());
}

void VFWindow::toggleFlow()
{
    if (!fieldReady) return;
    if (!flowLayer) {
        const QRectF region = scene.sceneRect();
        flow = std::make_unique<FlowField>(
            *formulas[0], *formulas[1],
            settings.mode == 1 ? ParticleStepper::Field::kVelocity
                               : ParticleStepper::Field::kAcceleration,
            FlowField::Region{region.left(), region.right(), region.top(), region.bottom()});
        flowLayer = new FlowLayer(region);
        flowLayer->hide();
        scene.addItem(flowLayer);
        fitLayers();
    }
    flowLayer->clear();
    flowLayer->setVisible(!flowLayer->isVisible());
    // Every showing starts from particles spread afresh over the region.
    flow->SetCount(0);
    flow->SetCount(flowLayer->isVisible() ? size_t(flowCount) : 0);
}

void VFWindow::setFlowParticleCount(int count)
{
    flowCount = std::clamp(count, 500, 200000);
    if (flowLayer && flowLayer->isVisible()) flow->SetCount(size_t(flowCount));
}

FieldInsight* VFWindow::fieldInsight()
{
    if (!fieldReady) return nullptr;
    if (!insight)
        insight = std::make_unique<FieldInsight>(*formulas[0], *formulas[1], settings.mode != 1,
                                                 scene, *view, *sideColumn);
    return insight.get();
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
