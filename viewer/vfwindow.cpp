#include "vfwindow.h"

#include "compile_formula.h"
#include "field_insight.h"
#include "field_model.h"
#include "function_interpreter.h"
#include "help_overlay.h"
#include "info_panel.h"
#include "mygraphicsview.h"
#include "picture_export.h"
#include "plot_note.h"
#include "qgraphicsarrow.h"
#include "same_length_arrows.h"
#include "scale_legend.h"
#include "status_line.h"
#include "view_note.h"

#include <QCloseEvent>
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

namespace {

// From about this many particles on, their rectangles cover the view anyway: repainting all
// of it costs less than working out what they cover.
constexpr int kDotsForFullUpdates = 500;

QGraphicsView::ViewportUpdateMode updatesFor(int dots)
{
    return dots >= kDotsForFullUpdates ? QGraphicsView::FullViewportUpdate
                                       : QGraphicsView::BoundingRectViewportUpdate;
}

} // namespace

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
}

VFWindow::~VFWindow() = default;

bool VFWindow::setupField(const FieldSettings& s)
{
    settings = s;
    setWindowTitle(fieldTitle(settings));
    rejected = FormulaRejection();
    // What an earlier set-up made goes, every reader before what it reads. Dots dropped before
    // set-up would be deleted by the scene's clear() behind the swarm's back.
    insight.reset();
    layers.follow(nullptr);
    clearDots();
    dots.follow(nullptr);
    model.reset();
    expressions.clear();
    expressions.setStore(&variableStore);
    formulas.clear();

    arrows.clear();
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

    FunctionInterpreter* fx = compile(QStringLiteral("Fx"), settings.fxText, fxIndex);
    if (!fx) return false;
    FunctionInterpreter* fy = compile(QStringLiteral("Fy"), settings.fyText, fyIndex);
    if (!fy) return false;
    expressions.bindAll();
    // The designed mode becomes the field's kind here, once.
    model = std::make_unique<FieldModel>(*fx, *fy, fieldKindOf(settings), regionOf(settings));

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
    addArrows(arrows);
    tellAboutArrows(arrows);
    dots.follow(model.get());
    layers.follow(model.get());
    tellWhatIsOn();
    return true;
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

void VFWindow::addArrows(const ArrowSample& sample)
{
    for (std::size_t i = 0; i < sample.points.size(); ++i) {
        const ArrowSample::Vector drawn = sample.Drawn(i);
        const QPointF at(sample.points[i].x, sample.points[i].y);
        arrows.push_back(new QGraphicsArrow(at, arrowSize, QVector2D(drawn.x, drawn.y)));
        scene.addItem(arrows.back());
    }
    for (const ArrowSample::Point& point : sample.failed) {
        arrows.push_back(new QGraphicsArrow(QPointF(point.x, point.y), arrowSize, QVector2D()));
        arrows.back()->clearPath();
        scene.addItem(arrows.back());
    }
    sameLength->draw(sample, arrows, arrowSize);
}

void VFWindow::tellAboutArrows(const ArrowSample& arrows)
{
    const std::string note = PlotNote(model->Fx(), model->Fy(), arrows);
    ViewNote::tell(view, ViewNote::Topic::Plot, QString::fromStdString(note));
    unevaluatedPoints = arrows.failed.size();
    gridPoints = arrows.points.size() + arrows.failed.size();
    if (auto* panel = findChild<InfoPanel*>())
        panel->showUnevaluated(unevaluatedPoints, gridPoints);
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
    view->fitInView(scene.sceneRect(), Qt::KeepAspectRatioByExpanding);
    fitParts();
}

void VFWindow::fitParts()
{
    const QRectF shown = view->mapToScene(view->viewport()->rect()).boundingRect();
    layers.fitTo(view->transform(), view->devicePixelRatioF(), shown);
    if (insight) insight->refit(view->transform());
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
    layers.advanceFlow(seconds, substeps);
    if (layers.flowShown()) flowLegend->showScale(layers.flowSpeedScale());
    dots.advance(seconds / substeps, substeps);
    layers.drawTrails(seconds, dots, dotSize * std::abs(view->transform().m11()));
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
        layers.toggleTrails();
        break;
    case Qt::Key_F:
        layers.toggleFlow();
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        setFlowParticleCount(layers.flowCount() * 2);
        break;
    case Qt::Key_Minus:
        setFlowParticleCount(layers.flowCount() / 2);
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
        togglePanel();
        break;
    case Qt::Key_A:
        sameLength->toggle(arrows);
        break;
    default:
        break;
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

void VFWindow::togglePanel()
{
    FieldInsight* extras = fieldInsight();
    if (!extras) return;
    InfoPanel* panel = extras->panel();
    panel->showUnevaluated(unevaluatedPoints, gridPoints);
    if (sideColumn->indexOf(panel) < 0) sideColumn->addWidget(panel, 0, 0);
    panel->fitBeside(width());
    const bool showing = !panel->isVisible();
    if (showing)
        beforePanel = {view->size(), view->transform(), view->horizontalScrollBar()->value(),
                       view->verticalScrollBar()->value()};
    panel->setVisible(showing);
    layout()->activate(); // the view takes its new size now, not at the next layout pass
    if (showing || view->size() != beforePanel.size) return refit();
    // Hidden again before the window changed size: a refit could differ from what the view
    // showed, as the scroll bars came and went in between, so it shows exactly that again.
    view->setTransform(beforePanel.transform);
    view->horizontalScrollBar()->setValue(beforePanel.horizontalScroll);
    view->verticalScrollBar()->setValue(beforePanel.verticalScroll);
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

void VFWindow::addDot(QPointF pos, const QColor& color, QVector2D velocity)
{
    dots.add(pos, color, velocity, dotSize);
    view->setViewportUpdateMode(updatesFor(dots.count()));
}

void VFWindow::clearDots()
{
    dots.clear();
    view->setViewportUpdateMode(updatesFor(0));
}
