#pragma once

// Shared by the viewer tests, which reach the real widgets and items through Qt's object tree.

#include "formula_label.h"
#include "mygraphicsview.h"
#include "qgraphicsarrow.h"
#include "qgraphicsdot.h"
#include "vfwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>

template <typename Item> QList<Item*> itemsOf(const VFWindow& window)
{
    QList<Item*> found;
    for (QGraphicsItem* item : window.findChild<MyGraphicsView*>()->scene()->items())
        if (auto* typed = dynamic_cast<Item*>(item)) found.append(typed);
    return found;
}

// Turns the wheel by `eighths` of a degree over `pixel` of the viewport, 120 to a notch of an
// ordinary wheel (negative: down the list).
inline void turnWheel(QWidget* port, const QPoint& pixel, int eighths,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWheelEvent event(pixel, port->mapToGlobal(pixel), QPoint(), QPoint(0, eighths), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(port, &event);
}

// Lets the scene report what changed and the window paint it.
inline void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Closes the modal dialogs that open while it lives, from a single-shot timer re-armed after each
// look: a box is acknowledged, its "title|text" kept; a file dialog gets `path` (empty: cancel).
struct ModalAnswer
{
    QStringList boxes;
    QTimer timer;
    explicit ModalAnswer(const QString& path = QString())
    {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [this, path] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                boxes << box->windowTitle() + "|" + box->text();
                box->button(QMessageBox::Ok)->click();
            } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                dialog->selectFile(path);
                QMetaObject::invokeMethod(dialog, path.isEmpty() ? "reject" : "accept");
            }
            timer.start(2);
        });
        timer.start(2);
    }
};

// A field window set up as the form does it; unless its timer runs, only the test moves time.
struct FieldWindow
{
    VFWindow window{nullptr};
    QTimer* timer = window.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    bool ready;

    FieldWindow(const QString& fx, const QString& fy, int mode = 1, bool timerRuns = false)
    {
        if (!timerRuns) timer->stop();
        ready = window.setupField(formFieldSettings(mode, fx, fy));
    }
    MyGraphicsView* view() const { return window.findChild<MyGraphicsView*>(); }
    QWidget* port() const { return view()->viewport(); }
    QPointF at(const QPoint& pixel) const { return view()->mapToScene(pixel); }
    // The text of a formula or label by its object name; empty where there is none.
    QString text(const char* name) const
    {
        if (auto* formula = window.findChild<FormulaLabel*>(name)) return formula->text();
        auto* label = window.findChild<QLabel*>(name);
        return label ? label->text() : QString();
    }
    QList<QGraphicsDot*> dots() const { return itemsOf<QGraphicsDot>(window); }
    // Where the only dot is; NaN unless there is exactly one.
    QPointF dot() const { return dots().size() == 1 ? dots()[0]->pos() : QPointF(qQNaN(), 0); }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(view(), key, modifiers);
    }
    void run(int ticks, qint64 ms)
    {
        for (int i = 0; i < ticks; ++i)
            window.advanceDots(ms);
    }
};
