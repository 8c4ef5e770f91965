#pragma once

#include "view_overlay.h"

#include <QString>

// A few short sentences over the top-right corner of the view: why the plot has no arrows, and
// what the analysis could not show and why, such as a field without derivatives or a region
// without equilibria. One note per view, which each topic writes its own part of.
class ViewNote : public ViewOverlay
{
    Q_OBJECT

public:
    // What a part of the note is about; the parts show in this order.
    enum class Topic
    {
        Plot,
        Analysis,
        Count
    };

    explicit ViewNote(QAbstractScrollArea* view);

    // Sets the view's note on `topic`, making the note when there is something to say.
    static void tell(QAbstractScrollArea* view, Topic topic, const QString& text);
    // Sets one topic's text (empty: nothing on it); the note hides when no topic has any.
    void say(Topic topic, const QString& text);
    // Every topic's text, a blank line between them.
    QString text() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textRect(int width) const;

    QString said[int(Topic::Count)];
};
