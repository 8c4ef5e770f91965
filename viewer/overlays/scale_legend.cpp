#include "scale_legend.h"

#include "field_map_layer.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr int kBarWidth = 160;
constexpr int kBarHeight = 12;

// Two significant digits: enough to read a scale by, and steady while it settles.
double rounded(double value)
{
    if (!std::isfinite(value) || value <= 0) return 0;
    const double unit = std::pow(10.0, std::floor(std::log10(value)) - 1);
    return std::round(value / unit) * unit;
}

// The rounded value as people write it: "110" and "0.034" rather than "1.1e+02" and "3.4e-02",
// where that stays short.
QString label(double value)
{
    const int magnitude = int(std::floor(std::log10(value)));
    if (magnitude < -3 || magnitude > 5) return QString::number(value, 'g', 2);
    return QString::number(value, 'f', std::max(0, 1 - magnitude));
}

} // namespace

ScaleLegend::ScaleLegend(QAbstractScrollArea* view, Qt::Corner corner, int stackOrder,
                         const QString& title)
    : ViewOverlay(view, corner, stackOrder), title(title)
{
}

void ScaleLegend::showScale(double top)
{
    const double shown = rounded(top);
    if (shown == shownTop && isVisible()) return;
    shownTop = shown;
    place();
    update();
    show();
}

QStringList ScaleLegend::texts() const
{
    if (shownTop <= 0) return {title, tr("0 everywhere")};
    return {title, QStringLiteral("0"), label(shownTop)};
}

QSize ScaleLegend::sizeHint() const
{
    return legendSize(texts(), kBarWidth, kBarHeight);
}

void ScaleLegend::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QStringList shown = texts();
    const QRect bar = paintLegendFrame(painter, shown, kBarHeight);
    if (bar.isNull()) return;
    const QFontMetrics metrics = fontMetrics();
    paintColourBar(painter, bar, sequentialColor);
    const int labels = bar.bottom() + 4 + metrics.ascent();
    painter.drawText(bar.left(), labels, shown[1]);
    painter.drawText(bar.right() + 1 - metrics.horizontalAdvance(shown[2]), labels, shown[2]);
}
