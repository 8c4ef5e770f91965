#include "view_note.h"

#include <QPainter>

namespace {

constexpr int kTextWidth = 320;

} // namespace

ViewNote::ViewNote(QAbstractScrollArea* view) : ViewOverlay(view, Qt::TopRightCorner) {}

void ViewNote::say(const QString& text)
{
    said = text;
    if (said.isEmpty()) {
        hide();
        return;
    }
    place();
    update();
    show();
}

QRect ViewNote::textRect(int width) const
{
    return fontMetrics().boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, said);
}

QSize ViewNote::sizeHint() const
{
    const QRect needed = textRect(kTextWidth);
    return QSize(needed.width() + 2 * kMargin, needed.height() + 2 * kMargin);
}

void ViewNote::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintBox(painter);
    painter.setPen(Qt::black);
    painter.drawText(rect().adjusted(kMargin, kMargin, -kMargin, -kMargin), Qt::TextWordWrap, said);
}
