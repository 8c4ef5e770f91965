#pragma once

// Shared by the viewer tests, which reach the real widgets and items through Qt's object tree.

#include "mygraphicsview.h"
#include "qgraphicsarrow.h"
#include "qgraphicsdot.h"
#include "vfwindow.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QTimer>

// The record the form sends for these formulas.
inline FieldSettings formSettings(const QString& fx, const QString& fy, int mode)
{
    FieldSettings s;
    s.xMin = s.yMin = -5.0;
    s.xMax = s.yMax = 5.0;
    s.xCount = s.yCount = 20;
    s.mode = mode;
    s.fxText = fx;
    s.fyText = fy;
    return s;
}

inline MyGraphicsView* viewOf(const VFWindow& window)
{
    return window.findChild<MyGraphicsView*>();
}

template <typename Item> QList<Item*> itemsOf(const VFWindow& window)
{
    QList<Item*> found;
    for (QGraphicsItem* item : viewOf(window)->scene()->items()) {
        if (auto* typed = dynamic_cast<Item*>(item)) found.append(typed);
    }
    return found;
}

inline QList<VFWindow*> openFieldWindows()
{
    QList<VFWindow*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<VFWindow*>(widget)) found.append(window);
    }
    return found;
}
