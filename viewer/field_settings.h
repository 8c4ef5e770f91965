#pragma once

#include "field_kind.h"
#include "region.h"

#include <QRectF>
#include <QString>

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

// The record as the field model takes it: `mode` 1 is a velocity field, any other value an
// acceleration field; the region with its grid counts.
FieldKind fieldKindOf(const FieldSettings& settings);
Region regionOf(const FieldSettings& settings);

// The field window's title, which names the field: "F = (-y, x), velocity field", the formulas
// as typed without the blanks around them.
QString fieldTitle(const FieldSettings& settings);

// The region as the scene's rectangle: from (xMin, yMin), y growing upwards in the view.
QRectF sceneRectOf(const Region& region);
