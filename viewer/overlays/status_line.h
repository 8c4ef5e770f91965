#pragma once

#include "view_overlay.h"

#include <QStringList>

// One short line in the bottom-right corner of the view, shown only while something differs
// from how the window starts: "paused", the flow's particle count, the arrows' style. It tells
// the window's state, not the field's, so a saved picture leaves it out.
class StatusLine : public ViewOverlay
{
    Q_OBJECT

public:
    explicit StatusLine(QAbstractScrollArea* view);

    // What is on, in words; none hides the line.
    void say(const QStringList& parts);
    QString text() const { return said; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString said;
};
