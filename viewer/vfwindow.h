#pragma once

#include "shapesupport.h"

#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QMap>
#include <QString>
#include <QVector2D>
#include <QWidget>

#include <memory>
#include <vector>

class FunctionInterpreter;
class MyGraphicsView;
class QGraphicsDot;
class QGraphicsLineItem;
class QGraphicsPathItem;
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
    // Moves every particle on by `elapsedMs` milliseconds of real time; the timer's tick.
    void advanceDots(qint64 elapsedMs);

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
    // Resolved once so that the animation tick never looks a name up.
    double* xSlot;
    double* ySlot;
    // Until both formulas are compiled and bound there is nothing to evaluate.
    bool fieldReady = false;
    // The compiled formulas; `expressions` only refers to them.
    std::vector<std::unique_ptr<FunctionInterpreter>> formulas;
};
