#pragma once

#include "parse_error.h"
#include "shapesupport.h"

#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QMap>
#include <QString>
#include <QVector2D>
#include <QWidget>

#include <memory>
#include <vector>

class FadingLayer;
class FieldInsight;
class FlowField;
class FlowLayer;
class FunctionInterpreter;
class HelpOverlay;
class MyGraphicsView;
class ParticleStepper;
class QGraphicsDot;
class QGraphicsLineItem;
class QGraphicsPathItem;
class QGridLayout;
class QTimer;

// What the form asks the field window to show.
struct FieldSettings
{
    double xMin = 0.0;
    double xMax = 0.0;
    double yMin = 0.0;
    double yMax = 0.0;
    int mode = 0; // 1 = velocity field, anything else = acceleration field
    int xCount = 0;
    int yCount = 0;
    QString fxText;
    QString fyText;
};

// The record the form sends: the region -5 … 5 both ways with 20 × 20 arrows, `mode` 1 for a
// velocity field and 2 for an acceleration field, the formulas as typed.
FieldSettings formFieldSettings(int mode, const QString& fxText, const QString& fyText);

// The formula that setupField rejected, by its label ("Fx" or "Fy"; empty when none), and the
// engine's record of why: `from` and `to` are byte offsets into its UTF-8 text.
struct FormulaRejection
{
    QString label;
    ParseErrorMsg error{-1, -1, -1};
};

// The top-level window that shows one vector field as a grid of arrows and animates the
// particles dropped into it.
class VFWindow : public QWidget
{
    Q_OBJECT

public:
    explicit VFWindow(QWidget* parent);
    ~VFWindow() override;

    // False when a formula does not compile; the user has then seen a warning box.
    // Meant to be called once, right after construction.
    bool setupField(const FieldSettings& s);
    const FieldSettings& fieldSettings() const { return settings; }
    const FormulaRejection& rejection() const { return rejected; }
    // Moves every particle on by `elapsedMs` milliseconds of real time; the timer's tick.
    void advanceDots(qint64 elapsedMs);
    bool isPaused() const { return paused; }
    // How many particles the flow view streams, whether it is shown or not: 500 to 200,000,
    // as + and - set it.
    int flowParticleCount() const { return flowCount; }
    void setFlowParticleCount(int count);
    // Asks for a file name and saves the picture there.
    void savePictureAs();
    // Writes the view's picture to `path`; a failure is shown in a warning box.
    bool savePicture(const QString& path);

signals:
    void closed();

public slots:
    void update();
    void mousePressed(QPointF p);
    void mouseDragged(QPointF p, QVector2D v);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addDot(QPointF pos, const QColor& color, QVector2D velocity);
    void clearDots();
    void toggleTrails();
    // Matches the trail and flow layers to the view's scale and to what it shows.
    void fitLayers();
    void toggleFlow();
    // The analysis extras, made on the first key that asks for them; null before set-up.
    FieldInsight* fieldInsight();

    QElapsedTimer frameClock; // monotonic: a change of the wall clock must not move particles
    qint64 tickedMs = 0;      // of frameClock's time, what the ticks have been given so far
    QTimer* timer;
    VariableStore variableStore;
    MyGraphicsView* view;
    QGraphicsScene scene;
    QGraphicsLineItem* guideLine = nullptr;
    QGraphicsPathItem* guideCurve = nullptr;
    QMap<QGraphicsDot*, QVector2D> dotVelocities;
    double dotSize = 5.0;
    double arrowSize = 0.0;
    int substeps = 10;
    FieldSettings settings;
    ExpressionSet expressions;
    int fxIndex = 0;
    int fyIndex = 0;
    // Until both formulas are compiled and bound there is nothing to evaluate.
    bool fieldReady = false;
    bool paused = false;
    HelpOverlay* help;
    // Made on the first T, so that a window without trails has exactly the designed items.
    FadingLayer* trails = nullptr;
    FormulaRejection rejected;
    // The flow view: made on the first F, like the trails.
    std::unique_ptr<FlowField> flow;
    FlowLayer* flowLayer = nullptr;
    int flowCount = 5000;
    // Steps every dot of a tick together; made once the formulas are bound.
    std::unique_ptr<ParticleStepper> stepper;
    // The dots' positions and velocities during a tick, in the order of `dotVelocities`.
    std::vector<double> dotX, dotY, startX, startY;
    std::vector<float> dotVX, dotVY;
    // The compiled formulas; `expressions` only refers to them.
    std::vector<std::unique_ptr<FunctionInterpreter>> formulas;
    // The right-hand column of the layout: empty until the information panel is asked for.
    QGridLayout* sideColumn = nullptr;
    std::unique_ptr<FieldInsight> insight;
};
