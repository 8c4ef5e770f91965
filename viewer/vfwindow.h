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
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class FieldInsight;
class FieldModel;
class FunctionInterpreter;
class HelpOverlay;
class SameLengthArrows;
class MyGraphicsView;
class ParameterStrip;
class PhasePortrait;
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

// What a window may start with besides its settings.
struct FieldStart
{
    // Values of parameters (names beginning with "P") or of t, written before the first sample;
    // a name that neither formula reads is passed over.
    std::vector<std::pair<QString, double>> parameters;
    // The region's numbers along the edges from the start, not only once the region changed.
    bool numberedRegion = false;
    // Where the flow view's random places come from.
    std::uint64_t flowSeed = 1;
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
    bool setupField(const FieldSettings& s, const FieldStart& start);
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
    // The same without a word: the reason in `reason` when the file could not be written.
    bool writePicture(const QString& path, QString* reason);

    // Shows the field over `region` (kept if it is one the window cannot show, see
    // RegionProblem), fitted as on a resize; everything shown follows.
    void showRegion(const Region& region);
    // The region set up first, which Home returns to.
    const Region& startRegion() const { return firstRegion; }
    // Whether W fits the whole region into the view rather than covering it.
    bool wholeRegionShown() const { return wholeRegion; }
    // Whether `key` switches something on or off (and so may be pressed before the window shows).
    static bool togglesWith(int key);
    // Stops the animation's timer: from now on only advanceDots and advanceTicks move anything.
    void stopTimer();
    // `ticks` ticks of 10 ms each, as the timer would give them unless paused.
    void advanceTicks(long long ticks);
    // The view's visible area `size` pixels large, without scroll bars: for a picture.
    void setViewSize(const QSize& size);
    // Does now what waits to be done after the field changed (maps, equilibria, panel), and
    // waits for what the worker threads compute for the extras shown.
    void finishPendingWork();
    // What the note over the view says about the plot: why arrows are missing; empty when the
    // field draws.
    const QString& plotNote() const { return plotNoteText; }
    // Waits, turning the event loop, until what the worker threads compute for the extras shown
    // (equilibria, curves, cycles) has arrived: for a picture of the finished view.
    void waitForBackgroundWork();
    // The nullclines and solution curves (N, O); null until one of those keys.
    const PhasePortrait* portraitCurves() const { return portrait.get(); }
    // The controls of the field's parameters and of t; null for a field without them.
    ParameterStrip* parameterStrip() const { return strip; }

signals:
    void closed();

public slots:
    void update();
    void mousePressed(QPointF p);
    void mouseDragged(QPointF p, QVector2D v);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    // Every view of the field follows it after it changed (a value slot, its region): the arrows
    // are sampled again at once, the extras follow, the slow ones a moment later.
    void fieldChanged();
    // The region seen `factor` times closer, the point under `pixel` staying there.
    void zoomAbout(QPoint pixel, double factor);
    // The region moved so that the scene point `grabbed` lies under `pixel`.
    void panTo(QPointF grabbed, QPoint pixel);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The view as it was: shown again, exactly, when the view has kept its size and shows the
    // same region the same way (a refit could differ, as scroll bars came and went meanwhile).
    struct ViewState
    {
        QSize size;
        QTransform transform;
        int horizontalScroll = 0;
        int verticalScroll = 0;
        Region region{0, 0, 0, 0};
        bool whole = false;
    };
    // Compiles one formula into `formulas` and `expressions`; null after the warning box.
    FunctionInterpreter* compile(const QString& label, const QString& text, int& index);
    struct KeyAction;
    static const KeyAction keyActions[];

    void addGuides(const Region& region);
    // The arrows of a sampling: the designed items at set-up, the same items reshaped after.
    void placeArrows(const ArrowSample& arrows);
    void placeArrow(std::size_t index, const QPointF& at, const QVector2D& vector);
    // What the latest sampling leaves out, in the note over the view and in the panel; after
    // every sampling.
    void tellAboutArrows(const ArrowSample& arrows);
    // The region as the model, the scene and the sizes of dots and arrows see it.
    void applyRegion(const Region& region);
    // Scrolls, as far as the view can, so that `scenePoint` lies under `pixel`.
    void keepUnder(const QPointF& scenePoint, const QPoint& pixel);
    void followRegion(const Region& region, const QPointF& scenePoint, const QPoint& pixel);
    // What takes long to follow the field: maps, equilibria and the panel's list.
    void followSlowly();
    // followSlowly now if it has not run for a while, else once when that while is over: at
    // least ten times a second while the field keeps changing, and once after it rests.
    void followSlowlySoon();
    // The strip under the view for a field with parameters or t; none for others.
    void placeStrip();
    ViewState viewState() const;
    // Shows `state` again if it still fits; otherwise fits the view anew.
    void restoreView(const ViewState& state);
    void toggleGuideLine();
    void toggleGuideCurve();
    void togglePause();
    void toggleTrails();
    void toggleFlow();
    void doubleFlow();
    void halveFlow();
    void toggleHelp();
    void toggleDivergence();
    void toggleCurl();
    void toggleMarkers();
    void toggleWholeRegion();
    void toggleNullclines();
    void toggleCurveMode();
    void toggleSameLength();
    void showStartRegion();
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
    PhasePortrait* phasePortrait();

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
    QString plotNoteText;
    std::size_t unevaluatedPoints = 0;
    std::size_t gridPoints = 0;
    bool paused = false;
    Region firstRegion{-5, 5, -5, 5};
    bool numberedRegion = false;
    bool wholeRegion = false;
    std::vector<QGraphicsArrow*> arrows; // the scene owns them
    QTimer* slowFollower;                // single-shot: the next run of the slow extras that is due
    QElapsedTimer slowRun;               // since the slow extras last followed the field
    QGridLayout* sideColumn;             // the layout's right-hand column, where the panel goes
    HelpOverlay* help;
    StatusLine* status;
    ScaleLegend* flowLegend;
    std::unique_ptr<SameLengthArrows> sameLength;
    // The compiled formulas; `expressions` only refers to them.
    std::vector<std::unique_ptr<FunctionInterpreter>> formulas;
    std::unique_ptr<FieldModel> model;
    // The particles, with their velocities: the designed dots and their bookkeeping.
    DotSwarm dots;
    MotionLayers layers;
    std::unique_ptr<FieldInsight> insight;
    std::unique_ptr<PhasePortrait> portrait;
    ViewState beforePanel;           // when the panel came
    ViewState beforeWhole;           // when W fitted the whole region
    ViewState atStart;               // when the region first left the one set up
    ParameterStrip* strip = nullptr; // Qt's tree owns it; it writes slots of the store
};
