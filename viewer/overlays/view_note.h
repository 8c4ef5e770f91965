#pragma once

#include "view_overlay.h"

// A few short sentences over the top-right corner of the view: what the analysis could not show
// and why, such as a field without derivatives or a region without equilibria.
class ViewNote : public ViewOverlay
{
    Q_OBJECT

public:
    explicit ViewNote(QAbstractScrollArea* view);

    // Shows the text, or hides the note when it is empty.
    void say(const QString& text);
    const QString& text() const { return said; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textRect(int width) const;

    QString said;
};
