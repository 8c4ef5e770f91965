#pragma once

#include "dot_swarm.h"
#include "field_settings.h"
#include "motion_layers.h"
#include "parse_error.h"
#include "shapesupport.h"

#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QSize>
#include <QString>
#include <QTransform>
#include <QVector2D>
#include <QWidget>

#include <cstddef>
#include <memory>
#include <vector>

class FieldInsight;
class FieldModel;
class FunctionInterpreter;
class HelpOverlay;
class SameLengthArrows;
class MyGraphicsView;
class QGraphicsArrow;
class QGraphicsLineItem;
class QGraphicsPathItem;
class QGridLayout;
class QTimer;
class ScaleLegend;
class StatusLine;
struct ArrowSample;

// The formula that setupField rejected, by its label ("Fx" or "Fy"; empty when none), and the
// engine's record of why: `from` and `to` are byte offsets into its UTF-8 text.
struct FormulaRejection
{
    QString label;
    ParseErrorMsg error{-1, -1, -1};
};

// The top-level window that shows one vector field as a grid of arrows and animates the
// particles dropped into it. It composes: the field itself is a FieldModel, the particles a
// DotSwarm, the extras behind their keys live in their own objects; the window connects them
// to its view and forwards its keys.
class VFWindow : public QWidget
{
    Q_OBJECT

public:
    explicit VFWindow(QWidget* parent);
    ~VFWindow() override;

    // False when a formula does not compile; the user has then seen a warning box. Each call
    // starts from nothing: what an earlier one made, formulas and extras too, is gone.
    bool setupField(const FieldSettings& s);
    const FieldSettings& fieldSettings() const { return settings; }
    const FormulaRejection& rejection() const { return rejected; }
    // The field shown; null until a set-up succeeded.
    FieldModel* field() { return model.get(); }
    // Moves every particle on by `elapsedMs` milliseconds of real time; the timer's tick.
    void advanceDots(qint64 elapsedMs);
    bool isPaused() const { return paused; }
    // How many particles the flow view streams, whether it is shown or not: 500 to 200,000,
    // as + and - set it.
    int flowParticleCount() const { return layers.flowCount(); }
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
    // Compiles one formula into `formulas` and `expressions`; null after the warning box.
    FunctionInterpreter* compile(const QString& label, const QString& text, int& index);
    void addArrows(const ArrowSample& sample);
    // What the latest sampling leaves out, in the note over the view and in the panel; after
    // every sampling.
    void tellAboutArrows(const ArrowSample& arrows);
    void addDot(QPointF pos, const QColor& color, QVector2D velocity);
    void clearDots();
    // Fits the view to the region as a resize does, then what depends on its scale.
    void refit();
    void fitParts();
    void togglePanel();
    // The status line and the flow's legend, as the keys left them.
    void tellWhatIsOn();
    // The analysis extras, made on the first key that asks for them; null before set-up.
    FieldInsight* fieldInsight();

    // As designed, in the designed order.
    QElapsedTimer frameClock; // monotonic: a change of the wall clock must not move particles
    qint64 tickedMs = 0;      // of frameClock's time, what the ticks have been given so far
    QTimer* timer;
    VariableStore variableStore;
    MyGraphicsView* view;
    QGraphicsScene scene;
    QGraphicsLineItem* guideLine = nullptr;
    QGraphicsPathItem* guideCurve = nullptr;
    double dotSize = 5.0;
    double arrowSize = 0.0;
    int substeps = 10;
    FieldSettings settings;
    ExpressionSet expressions;
    int fxIndex = 0;
    int fyIndex = 0;

    // Each of these reads only what is declared before it, so the reverse order of destruction
    // ends every reader before what it reads.
    FormulaRejection rejected;
    // Of the latest sampling: grid points where F has no value, and all of them.
    std::size_t unevaluatedPoints = 0;
    std::size_t gridPoints = 0;
    bool paused = false;
    QGridLayout* sideColumn; // the layout's right-hand column, where the panel goes
    HelpOverlay* help;
    StatusLine* status;
    ScaleLegend* flowLegend;
    std::vector<QGraphicsArrow*> arrows; // the scene owns them
    std::unique_ptr<SameLengthArrows> sameLength;
    // The compiled formulas; `expressions` only refers to them.
    std::vector<std::unique_ptr<FunctionInterpreter>> formulas;
    std::unique_ptr<FieldModel> model;
    // The particles, with their velocities: the designed dots and their bookkeeping.
    DotSwarm dots;
    MotionLayers layers;
    std::unique_ptr<FieldInsight> insight;
    // The view as it was when the panel came.
    struct ViewState
    {
        QSize size;
        QTransform transform;
        int horizontalScroll = 0;
        int verticalScroll = 0;
    } beforePanel;
};
