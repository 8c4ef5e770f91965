#include "vfwindow.h"

#include "compile_formula.h"
#include "field_insight.h"
#include "field_model.h"
#include "function_interpreter.h"
#include "help_overlay.h"
#include "info_panel.h"
#include "mygraphicsview.h"
#include "parameter_strip.h"
#include "phase_portrait.h"
#include "picture_export.h"
#include "plot_note.h"
#include "qgraphicsarrow.h"
#include "region_moves.h"
#include "same_length_arrows.h"
#include "scale_legend.h"
#include "status_line.h"
#include "view_note.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGraphicsLineItem>
#include <QGraphicsPathItem>
#include <QGridLayout>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// From about this many particles on, their rectangles cover the view anyway: repainting all
// of it costs less than working out what they cover.
constexpr int kDotsForFullUpdates = 500;

QGraphicsView::ViewportUpdateMode updatesFor(int dots)
{
    return dots >= kDotsForFullUpdates ? QGraphicsView::FullViewportUpdate
                                       : QGraphicsView::BoundingRectViewportUpdate;
}

// Around the whole region, as W shows it, this much of its longer side on every side.
constexpr double kWholeRegionMargin = 0.04;
// The slow extras follow the field at most this often: while a slider is dragged more than ten
// times a second even when the timer fires late, and the last value is shown soon after it.
constexpr int kSlowFollowMs = 60;

} // namespace

// A key of the window and what it does. Those that toggle may be pressed before the window shows.
struct VFWindow::KeyAction
{
    int key;
    void (VFWindow::*act)();
    bool toggles;
};

// Every key the window answers, whatever the modifiers.
const VFWindow::KeyAction VFWindow::keyActions[] = {
    {Qt::Key_L, &VFWindow::toggleGuideLine, true},
    {Qt::Key_C, &VFWindow::toggleGuideCurve, true},
    {Qt::Key_Space, &VFWindow::clearDots, false},
    {Qt::Key_P, &VFWindow::togglePause, true},
    {Qt::Key_T, &VFWindow::toggleTrails, true},
    {Qt::Key_F, &VFWindow::toggleFlow, true},
    {Qt::Key_Plus, &VFWindow::doubleFlow, false},
    {Qt::Key_Equal, &VFWindow::doubleFlow, false},
    {Qt::Key_Minus, &VFWindow::halveFlow, false},
    {Qt::Key_S, &VFWindow::savePictureAs, false},
    {Qt::Key_H, &VFWindow::toggleHelp, true},
    {Qt::Key_F1, &VFWindow::toggleHelp, false},
    {Qt::Key_D, &VFWindow::toggleDivergence, true},
    {Qt::Key_R, &VFWindow::toggleCurl, true},
    {Qt::Key_E, &VFWindow::toggleMarkers, true},
    {Qt::Key_I, &VFWindow::togglePanel, true},
    {Qt::Key_W, &VFWindow::toggleWholeRegion, true},
    {Qt::Key_A, &VFWindow::toggleSameLength, true},
    {Qt::Key_Home, &VFWindow::showStartRegion, false},
    {Qt::Key_N, &VFWindow::toggleNullclines, true},
    {Qt::Key_O, &VFWindow::toggleCurveMode, true},
};

VFWindow::VFWindow(QWidget* parent)
    : QWidget(parent), timer(nullptr), view(nullptr), scene(nullptr), expressions(nullptr),
      dots(scene), layers(scene)
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
    connect(view, &MyGraphicsView::zoomRequested, this, &VFWindow::zoomAbout);
    connect(view, &MyGraphicsView::panRequested, this, &VFWindow::panTo);

    sideColumn = new QGridLayout;
    layout->addLayout(sideColumn, 0, 1);

    // The layers draw only where the view looks; scrolling moves that. They receive it, so the
    // connection ends with them, before the scene's end moves the scroll bars once more.
    for (QScrollBar* bar : {view->horizontalScrollBar(), view->verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, &layers, [this] { fitParts(); });

    help = new HelpOverlay(view);
    status = new StatusLine(view);
    flowLegend = new ScaleLegend(view, Qt::BottomLeftCorner, 1, tr("flow speed"));
    sameLength = std::make_unique<SameLengthArrows>(view);

    // Un-maximized, the window would otherwise shrink to its smallest size.
    const QRect screenArea = screen()->availableGeometry();
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, screenArea.size() * 2 / 3,
                                    screenArea));
    showMaximized();
    frameClock.start();

    timer = new QTimer(this);
    timer->setInterval(10);
    connect(timer, SIGNAL(timeout()), this, SLOT(update()));
    timer->start();

    // After the designed timer, which stays the window's first.
    slowFollower = new QTimer(this);
    slowFollower->setSingleShot(true);
    slowFollower->setInterval(kSlowFollowMs);
    connect(slowFollower, &QTimer::timeout, this, &VFWindow::followSlowly);
}

VFWindow::~VFWindow()
{
    delete strip; // its signals lead here: it must not outlive what they reach
}

bool VFWindow::setupField(const FieldSettings& s)
{
    return setupField(s, FieldStart());
}

bool VFWindow::setupField(const FieldSettings& s, const FieldStart& start)
{
    settings = s;
    setWindowTitle(fieldTitle(settings));
    rejected = FormulaRejection();
    // What an earlier set-up made goes, every reader before what it reads. Dots dropped before
    // set-up would be deleted by the scene's clear() behind the swarm's back.
    slowFollower->stop();
    delete strip;
    strip = nullptr;
    portrait.reset();
    insight.reset();
    layers.follow(nullptr);
    clearDots();
    dots.follow(nullptr);
    model.reset();
    expressions.clear();
    expressions.setStore(&variableStore);
    formulas.clear();

    scene.clear();
    arrows.clear();
    guideLine = nullptr;
    guideCurve = nullptr;
    view->setTransform(QTransform::fromScale(1, -1)); // scene y grows upwards
    wholeRegion = false;
    view->setTicksShown(false);

    addGuides(regionOf(settings));

    FunctionInterpreter* fx = compile(QStringLiteral("Fx"), settings.fxText, fxIndex);
    if (!fx) return false;
    FunctionInterpreter* fy = compile(QStringLiteral("Fy"), settings.fyText, fyIndex);
    if (!fy) return false;
    expressions.bindAll();
    // The designed mode becomes the field's kind here, once.
    model = std::make_unique<FieldModel>(*fx, *fy, fieldKindOf(settings), regionOf(settings));
    for (const auto& [name, value] : start.parameters)
        if (double* slot = model->SlotOf(name.toUtf8().constData())) *slot = value;
    placeStrip();
    firstRegion = model->Bounds();
    numberedRegion = start.numberedRegion;

    scene.setSceneRect(sceneRectOf(model->Bounds()));
    refit();

    const double shorterSide = std::min(scene.sceneRect().width(), scene.sceneRect().height());
    dotSize = 0.01 * shorterSide;
    arrowSize = 0.002 * shorterSide;

    if (model->Kind() == FieldKind::Velocity)
        view->setDropMode();
    else
        view->setLaunchMode();

    const ArrowSample arrows = model->SampleArrows();
    placeArrows(arrows);
    tellAboutArrows(arrows);
    dots.follow(model.get());
    layers.setFlowSeed(start.flowSeed);
    layers.follow(model.get());
    view->setTicksShown(numberedRegion);
    tellWhatIsOn();
    return true;
}

// The guide line and curve across `region`, replacing any there were, shown if those were.
void VFWindow::addGuides(const Region& region)
{
    const bool lineShown = guideLine && guideLine->isVisible();
    const bool curveShown = guideCurve && guideCurve->isVisible();
    delete guideLine; // an item leaves its scene as it goes
    delete guideCurve;

    const double w = region.Width();
    const double h = region.Height();
    // As wide a part of the region as the designed 0.05 is of its 10 × 10.
    const double width = 0.05 * (std::min(w, h) / 10);
    const QPen guidePen(QBrush(Qt::blue, Qt::SolidPattern), width, Qt::SolidLine, Qt::SquareCap,
                        Qt::BevelJoin);

    guideLine = scene.addLine(region.xMin + w / 2, region.yMin, region.xMin + w / 2,
                              region.yMin + h, guidePen);
    guideLine->setVisible(lineShown);

    QPainterPath curve(QPointF(region.xMin + w / 2, region.yMin));
    curve.cubicTo(QPointF(region.xMin + w, region.yMin + h / 2),
                  QPointF(region.xMin, region.yMin + h / 2),
                  QPointF(region.xMin + w / 2, region.yMin + h));
    guideCurve = scene.addPath(curve, guidePen, QBrush(Qt::NoBrush));
    guideCurve->setVisible(curveShown);
}

FunctionInterpreter* VFWindow::compile(const QString& label, const QString& text, int& index)
{
    FunctionInterpreter* formula = CompileFormula(label, text, &rejected.error);
    if (!formula) {
        rejected.label = label;
        return nullptr;
    }
    formulas.emplace_back(formula);
    index = expressions.addShared(formula);
    return formula;
}

void VFWindow::placeArrows(const ArrowSample& sample)
{
    std::size_t index = 0;
    for (std::size_t i = 0; i < sample.points.size(); ++i, ++index) {
        const ArrowSample::Vector drawn = sample.Drawn(i);
        const QPointF at(sample.points[i].x, sample.points[i].y);
        placeArrow(index, at, QVector2D(drawn.x, drawn.y));
    }
    for (const ArrowSample::Point& point : sample.failed) {
        placeArrow(index, QPointF(point.x, point.y), QVector2D());
        arrows[index++]->clearPath();
    }
    sameLength->draw(sample, arrows, arrowSize);
}

void VFWindow::tellAboutArrows(const ArrowSample& arrows)
{
    plotNoteText = QString::fromStdString(PlotNote(model->Fx(), model->Fy(), arrows));
    ViewNote::tell(view, ViewNote::Topic::Plot, plotNoteText);
    unevaluatedPoints = arrows.failed.size();
    gridPoints = arrows.points.size() + arrows.failed.size();
    if (auto* panel = findChild<InfoPanel*>())
        panel->showUnevaluated(unevaluatedPoints, gridPoints);
}

void VFWindow::placeArrow(std::size_t index, const QPointF& at, const QVector2D& vector)
{
    if (index < arrows.size()) return arrows[index]->reshape(at, arrowSize, vector);
    // New items would be stacked over the dots: only the first sampling makes them.
    arrows.push_back(new QGraphicsArrow(at, arrowSize, vector));
    scene.addItem(arrows.back());
}

void VFWindow::resizeEvent(QResizeEvent*)
{
    if (insight && sideColumn->count() > 0) {
        insight->panel()->fitBeside(width());
        layout()->activate(); // the view takes what the panel left now, before the refit
    }
    refit();
}

void VFWindow::refit()
{
    const QRectF region = scene.sceneRect();
    if (wholeRegion) {
        const double margin = kWholeRegionMargin * std::max(region.width(), region.height());
        view->fitInView(region.adjusted(-margin, -margin, margin, margin), Qt::KeepAspectRatio);
    } else {
        view->fitInView(region, Qt::KeepAspectRatioByExpanding);
    }
    fitParts();
}

void VFWindow::fitParts()
{
    const QRectF shown = view->mapToScene(view->viewport()->rect()).boundingRect();
    layers.fitTo(view->transform(), view->devicePixelRatioF(), shown);
    if (insight) insight->refit(view->transform());
    if (portrait) portrait->refit(view->transform());
    // The numbers along the edges move with the field, not with the scrolled pixels.
    if (view->ticksShown()) view->viewport()->update();
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
    if (!model) return;
    const double seconds = elapsedMs / 1000.0;
    // While t plays, the particles see it run on with every substep, and it ends the tick
    // `seconds` later, where the arrows and the rest then show the field.
    double* clock = strip ? strip->clock() : nullptr;
    const std::optional<double> startTime = clock ? std::optional<double>(*clock) : std::nullopt;
    layers.advanceFlow(seconds, substeps, startTime);
    if (layers.flowShown()) flowLegend->showScale(layers.flowSpeedScale());
    dots.advance(seconds / substeps, substeps, startTime);
    layers.drawTrails(seconds, dots, dotSize * std::abs(view->transform().m11()));
    if (clock && seconds > 0) {
        *clock = *startTime + seconds;
        strip->showTime();
        fieldChanged();
    }
}

void VFWindow::stopTimer()
{
    timer->stop();
}

void VFWindow::advanceTicks(long long ticks)
{
    for (long long i = 0; i < ticks; ++i)
        if (!paused) advanceDots(10);
    tickedMs = frameClock.elapsed(); // the timer's next tick does not count this time again
}

void VFWindow::setViewSize(const QSize& size)
{
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    showNormal();
    layout()->activate();
    resize(this->size() + size - view->viewport()->size());
    layout()->activate();
    refit();
}

void VFWindow::mousePressed(QPointF p)
{
    if (portrait && portrait->drawsCurves()) return portrait->addSolution(p);
    for (int i = 0; i < 10; ++i) {
        const double a = 2 * M_PI * i / 10;
        const QPointF offset(std::cos(a), std::sin(a));
        addDot(p + 1.5 * dotSize * offset, QColor::fromHslF(i / 10.0, 0.9, 0.6, 1.0),
               QVector2D(0, 0));
    }
}

void VFWindow::mouseDragged(QPointF p, QVector2D v)
{
    if (portrait && portrait->drawsCurves()) return portrait->addLaunch(p, v);
    addDot(p, QColor(Qt::red), v);
}

void VFWindow::keyPressed(int key, Qt::KeyboardModifiers)
{
    for (const KeyAction& action : keyActions) {
        if (action.key == key) {
            (this->*action.act)();
            break;
        }
    }
    tellWhatIsOn();
}

void VFWindow::tellWhatIsOn()
{
    QStringList on;
    if (paused) on << tr("paused");
    if (layers.flowCount() != MotionLayers::kDefaultFlowCount)
        on << tr("%1 flow particles").arg(layers.flowCount());
    if (sameLength->isOn()) on << tr("same-length arrows");
    status->say(on);
    if (!layers.flowShown())
        flowLegend->hide();
    else if (flowLegend->isHidden())
        flowLegend->showScale(layers.flowSpeedScale());
}

bool VFWindow::togglesWith(int key)
{
    for (const KeyAction& action : keyActions)
        if (action.key == key) return action.toggles;
    return false;
}

void VFWindow::toggleGuideLine()
{
    if (guideLine) guideLine->setVisible(!guideLine->isVisible());
}

void VFWindow::toggleGuideCurve()
{
    if (guideCurve) guideCurve->setVisible(!guideCurve->isVisible());
}

void VFWindow::togglePause()
{
    paused = !paused;
}

void VFWindow::toggleTrails()
{
    layers.toggleTrails();
}

void VFWindow::toggleFlow()
{
    layers.toggleFlow();
}

void VFWindow::doubleFlow()
{
    setFlowParticleCount(layers.flowCount() * 2);
}

void VFWindow::halveFlow()
{
    setFlowParticleCount(layers.flowCount() / 2);
}

void VFWindow::toggleHelp()
{
    help->setVisible(!help->isVisible());
}

void VFWindow::toggleDivergence()
{
    if (FieldInsight* extras = fieldInsight()) extras->toggleMap(MapQuantity::Divergence);
}

void VFWindow::toggleCurl()
{
    if (FieldInsight* extras = fieldInsight()) extras->toggleMap(MapQuantity::Curl);
}

void VFWindow::toggleMarkers()
{
    if (FieldInsight* extras = fieldInsight()) extras->toggleMarkers();
}

void VFWindow::toggleNullclines()
{
    if (PhasePortrait* extras = phasePortrait()) extras->toggleNullclines();
}

void VFWindow::toggleCurveMode()
{
    if (PhasePortrait* extras = phasePortrait()) extras->toggleCurveMode();
}

void VFWindow::toggleSameLength()
{
    sameLength->toggle(arrows);
}

void VFWindow::toggleWholeRegion()
{
    if (!wholeRegion) beforeWhole = viewState();
    wholeRegion = !wholeRegion;
    if (wholeRegion) return refit();
    restoreView(beforeWhole);
}

void VFWindow::showStartRegion()
{
    if (!model || SameRegion(model->Bounds(), firstRegion)) return;
    applyRegion(firstRegion);
    restoreView(atStart);
}

void VFWindow::showRegion(const Region& region)
{
    if (!model || RegionProblem(region)) return;
    if (SameRegion(model->Bounds(), firstRegion)) atStart = viewState();
    applyRegion(region);
    refit();
}

void VFWindow::zoomAbout(QPoint pixel, double factor)
{
    if (!model || !(factor > 0)) return;
    const QPointF at = view->mapToScene(pixel);
    followRegion(ZoomedAbout(model->Bounds(), at.x(), at.y(), factor), at, pixel);
}

void VFWindow::panTo(QPointF grabbed, QPoint pixel)
{
    if (!model) return;
    const QPointF under = view->mapToScene(pixel);
    const QPointF shift = grabbed - under;
    followRegion(Shifted(model->Bounds(), shift.x(), shift.y()), grabbed, pixel);
}

// A region beyond what the window can show is not taken: zooming and panning stop at its edge.
void VFWindow::followRegion(const Region& region, const QPointF& scenePoint, const QPoint& pixel)
{
    if (RegionProblem(region)) return;
    if (SameRegion(model->Bounds(), firstRegion)) atStart = viewState();
    applyRegion(region);
    refit();
    keepUnder(scenePoint, pixel);
}

void VFWindow::applyRegion(const Region& region)
{
    model->Retarget(region);
    addGuides(region);
    scene.setSceneRect(sceneRectOf(region));
    const double shorterSide = std::min(region.Width(), region.Height());
    dotSize = 0.01 * shorterSide;
    arrowSize = 0.002 * shorterSide;
    dots.resize(dotSize);
    view->setTicksShown(numberedRegion || !SameRegion(region, firstRegion));
    fieldChanged();
}

void VFWindow::keepUnder(const QPointF& scenePoint, const QPoint& pixel)
{
    const QPointF off = view->mapFromScene(scenePoint) - pixel;
    // Scroll bars count whole pixels; the view maps to whole pixels too.
    QScrollBar* across = view->horizontalScrollBar();
    QScrollBar* down = view->verticalScrollBar();
    across->setValue(across->value() + int(std::lround(off.x())));
    down->setValue(down->value() + int(std::lround(off.y())));
}

void VFWindow::fieldChanged()
{
    if (!model) return;
    const ArrowSample arrows = model->SampleArrows();
    placeArrows(arrows);
    tellAboutArrows(arrows);
    layers.fieldChanged();
    if (insight || portrait) followSlowlySoon();
}

void VFWindow::followSlowlySoon()
{
    if (slowFollower->isActive()) return; // the run due will see this change too
    const qint64 since = slowRun.isValid() ? slowRun.elapsed() : kSlowFollowMs;
    if (since >= kSlowFollowMs) return followSlowly();
    slowFollower->start(int(kSlowFollowMs - since));
}

void VFWindow::finishPendingWork()
{
    if (slowFollower->isActive()) {
        slowFollower->stop();
        followSlowly();
    }
    // A picture or a script wants the answer, not "searching…"; each job has a time limit.
    waitForBackgroundWork();
}

void VFWindow::waitForBackgroundWork()
{
    const auto busy = [this] {
        return (insight && insight->working()) || (portrait && portrait->computing());
    };
    while (busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

void VFWindow::followSlowly()
{
    slowRun.start();
    if (insight) insight->fieldChanged();
    if (portrait) portrait->fieldChanged();
}

void VFWindow::placeStrip()
{
    strip = ParameterStrip::makeFor(*model, this);
    if (!strip) return;
    static_cast<QGridLayout*>(layout())->addWidget(strip, 1, 0);
    layout()->activate(); // the view takes its smaller size before it is fitted to the region
    connect(strip, &ParameterStrip::valuesChanged, this, &VFWindow::fieldChanged);
    view->setFocus(); // the window's keys stay with the view; Tab goes on to the strip
}

void VFWindow::setFlowParticleCount(int count)
{
    layers.setFlowCount(count);
    tellWhatIsOn();
}

void VFWindow::savePictureAs()
{
    const QString path = askPicturePath(this);
    if (!path.isEmpty()) savePicture(path); // empty when cancelled
}

bool VFWindow::savePicture(const QString& path)
{
    return savePictureOrWarn(*view, path, this);
}

bool VFWindow::writePicture(const QString& path, QString* reason)
{
    return ::writePicture(*view, path, reason);
}

void VFWindow::togglePanel()
{
    FieldInsight* extras = fieldInsight();
    if (!extras) return;
    InfoPanel* panel = extras->panel();
    panel->showUnevaluated(unevaluatedPoints, gridPoints);
    if (sideColumn->indexOf(panel) < 0) sideColumn->addWidget(panel, 0, 0);
    panel->fitBeside(width());
    const bool showing = !panel->isVisible();
    if (showing) beforePanel = viewState();
    panel->setVisible(showing);
    layout()->activate(); // the view takes its new size now, not at the next layout pass
    if (showing) return refit();
    restoreView(beforePanel);
}

VFWindow::ViewState VFWindow::viewState() const
{
    return {view->size(),
            view->transform(),
            view->horizontalScrollBar()->value(),
            view->verticalScrollBar()->value(),
            model ? model->Bounds() : Region{0, 0, 0, 0},
            wholeRegion};
}

void VFWindow::restoreView(const ViewState& state)
{
    if (!model || view->size() != state.size || !SameRegion(model->Bounds(), state.region) ||
        wholeRegion != state.whole)
        return refit();
    view->setTransform(state.transform);
    view->horizontalScrollBar()->setValue(state.horizontalScroll);
    view->verticalScrollBar()->setValue(state.verticalScroll);
    fitParts();
}

FieldInsight* VFWindow::fieldInsight()
{
    if (!model) return nullptr;
    if (!insight) {
        insight = std::make_unique<FieldInsight>(*model, scene, *view);
        insight->refit(view->transform());
    }
    return insight.get();
}

PhasePortrait* VFWindow::phasePortrait()
{
    if (!model) return nullptr;
    if (!portrait) {
        portrait = std::make_unique<PhasePortrait>(*model, scene, *view);
        portrait->refit(view->transform());
    }
    return portrait.get();
}

void VFWindow::addDot(QPointF pos, const QColor& color, QVector2D velocity)
{
    dots.add(pos, color, velocity, dotSize);
    view->setViewportUpdateMode(updatesFor(dots.count()));
}

void VFWindow::clearDots()
{
    if (portrait) portrait->clearCurves();
    dots.clear();
    view->setViewportUpdateMode(updatesFor(0));
}
