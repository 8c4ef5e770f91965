#include "vfwindow.h"

#include "compile_formula.h"
#include "fading_layer.h"
#include "field_insight.h"
#include "function_interpreter.h"
#include "help_overlay.h"
#include "mygraphicsview.h"
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
#include <QStandardPaths>
#include <QTimer>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

// The longest vector is drawn this many grid-cell sides long.
constexpr double kLongestArrow = 0.7071;

// A trail keeps 1/e of its strength after this many seconds, so it shows for a second or so.
constexpr double kTrailLifetime = 0.3;

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
    // Nothing may evaluate the formulas once they are gone.
    timer->stop();
    insight.reset();
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
    insight.reset();
    scene.clear();
    trails = nullptr;
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
    double longestExactly = 0.0;
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
                // A vector beyond single precision has no length to scale the others by.
                if (!std::isfinite(fxValue) || !std::isfinite(fyValue)) {
                    failed.append(QPointF(x, y));
                    continue;
                }
                const QVector2D value(fxValue, fyValue);
                sampled.append(SampledPoint{QPointF(x, y), value});
                const float length = value.length();
                if (length > longest) longest = length; // a NaN length never wins
                longestExactly =
                    std::max(longestExactly, std::hypot(double(fxValue), double(fyValue)));
            } catch (...) {
                failed.append(QPointF(x, y));
            }
        }
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
    if (trails) trails->fitTo(view->transform(), view->devicePixelRatioF());
    if (insight) insight->refit(view->transform());
}

void VFWindow::closeEvent(QCloseEvent* event)
{
    emit closed();
    event->accept();
}

void VFWindow::update()
{
    // The clock restarts at every tick, paused or not, so nothing jumps on resuming.
    const qint64 elapsedMs = frameClock.restart();
    if (!paused) advanceDots(elapsedMs);
}

void VFWindow::advanceDots(qint64 elapsedMs)
{
    if (!fieldReady) return;
    const double dt = (elapsedMs / 1000.0) / substeps;
    const bool velocityField = settings.mode == 1;
    int trailWidth = 0; // pixels; 0 draws no trails
    if (trails && trails->isVisible()) {
        trails->fade(elapsedMs / 1000.0, kTrailLifetime);
        const double dotPixels = dotSize * std::abs(view->transform().m11());
        trailWidth = std::max(1, int(std::lround(0.3 * dotPixels * view->devicePixelRatioF())));
    }

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
        if (trailWidth > 0) {
            const QColor c = dot->dotColor();
            trails->drawLine(start, QPointF(x, y),
                             qPremultiply(qRgba(c.red(), c.green(), c.blue(), 200)), trailWidth);
        }
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
    case Qt::Key_P:
        paused = !paused;
        break;
    case Qt::Key_T:
        toggleTrails();
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
        trails->fitTo(view->transform(), view->devicePixelRatioF());
        trails->hide();
        scene.addItem(trails);
    }
    trails->clear();
    trails->setVisible(!trails->isVisible());
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
}

void VFWindow::clearDots()
{
    while (!dotVelocities.isEmpty()) {
        auto first = dotVelocities.begin();
        scene.removeItem(first.key());
        delete first.key();
        dotVelocities.erase(first);
    }
}
