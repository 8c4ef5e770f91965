#pragma once

#include "view_overlay.h"

#include <QColor>
#include <QString>
#include <QVector>

// What the curves over the field stand for, in the bottom-right corner of the view: a short
// stretch of each kind of line with its name.
class CurveLegend : public ViewOverlay
{
    Q_OBJECT

public:
    struct Entry
    {
        QColor colour;
        Qt::PenStyle style = Qt::SolidLine;
        QString name;
    };

    explicit CurveLegend(QAbstractScrollArea* view);

    // Shows these entries; none hides the legend.
    void showEntries(const QVector<Entry>& entries);
    const QVector<Entry>& entries() const { return shown; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVector<Entry> shown;
};
