#pragma once

#include "view_overlay.h"

// The colour scale of the map on show, in the bottom-left corner of the view: the quantity's
// name and the palette from -limit to +limit.
class MapLegend : public ViewOverlay
{
    Q_OBJECT

public:
    explicit MapLegend(QAbstractScrollArea* view);

    // `limit` 0 means the quantity is 0 wherever it is defined; `defined` false, nowhere.
    void showScale(const QString& title, double limit, bool defined);
    // The texts shown, for checking: the title and the scale's three labels (or one remark).
    QStringList texts() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title;
    double limit = 0;
    bool defined = false;
};
