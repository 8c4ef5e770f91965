#include "status_line.h"

#include <QPainter>

StatusLine::StatusLine(QAbstractScrollArea* view) : ViewOverlay(view, Qt::BottomRightCorner)
{
    setInPicture(false);
}

void StatusLine::say(const QStringList& parts)
{
    const QString text = parts.join(QStringLiteral("  \u00b7  "));
    if (text == said) return;
    said = text;
    if (said.isEmpty()) return hide();
    place();
    update();
    show();
}

QSize StatusLine::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return QSize(2 * kMargin + metrics.horizontalAdvance(said), 2 * kMargin + metrics.height());
}

void StatusLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintBox(painter);
    painter.setPen(Qt::black);
    painter.drawText(rect().adjusted(kMargin, kMargin, -kMargin, -kMargin), Qt::AlignLeft, said);
}
