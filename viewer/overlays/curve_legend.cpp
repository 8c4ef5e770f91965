#include "curve_legend.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int kSample = 28; // pixels of line before each name
constexpr int kGap = 8;

} // namespace

CurveLegend::CurveLegend(QAbstractScrollArea* view) : ViewOverlay(view, Qt::BottomRightCorner) {}

void CurveLegend::showEntries(const QVector<Entry>& entries)
{
    shown = entries;
    if (shown.isEmpty()) return hide();
    place();
    update();
    show();
}

QSize CurveLegend::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    int names = 0;
    for (const Entry& entry : shown)
        names = std::max(names, metrics.horizontalAdvance(entry.name));
    return QSize(2 * kMargin + kSample + kGap + names,
                 2 * kMargin + int(shown.size()) * metrics.lineSpacing());
}

void CurveLegend::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintBox(painter);
    const QFontMetrics metrics = fontMetrics();
    int top = kMargin;
    for (const Entry& entry : qAsConst(shown)) {
        const double middle = top + metrics.lineSpacing() / 2.0;
        painter.setPen(QPen(entry.colour, 2.5, entry.style, Qt::FlatCap));
        painter.drawLine(QPointF(kMargin, middle), QPointF(kMargin + kSample, middle));
        painter.setPen(Qt::black);
        painter.drawText(kMargin + kSample + kGap, top + metrics.ascent(), entry.name);
        top += metrics.lineSpacing();
    }
}
