#include "map_legend.h"

#include "field_map_layer.h"

#include <QPainter>

namespace {

constexpr int kBarWidth = 200;
constexpr int kBarHeight = 12;

QString number(double value)
{
    return QString::number(value, 'g', 3).replace(QLatin1Char('-'), QChar(0x2212));
}

} // namespace

MapLegend::MapLegend(QAbstractScrollArea* view) : ViewOverlay(view, Qt::BottomLeftCorner) {}

void MapLegend::showScale(const QString& newTitle, double newLimit, bool isDefined)
{
    title = newTitle;
    limit = newLimit;
    defined = isDefined;
    place();
    update();
    show();
}

QStringList MapLegend::texts() const
{
    if (!defined) return {title, tr("undefined everywhere")};
    if (limit == 0) return {title, tr("0 everywhere")};
    return {title, number(-limit), QStringLiteral("0"), number(limit)};
}

QSize MapLegend::sizeHint() const
{
    return legendSize(texts(), kBarWidth, kBarHeight);
}

void MapLegend::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QStringList shown = texts();
    const QRect bar = paintLegendFrame(painter, shown, kBarHeight);
    if (bar.isNull()) return;
    const QFontMetrics metrics = fontMetrics();
    // The colours as the map shows them over the white field.
    paintColourBar(
        painter, bar, [](double t) { return divergingColor(2 * t - 1, 1); }, kMapOpacity);
    const int baseline = bar.bottom() + 4 + metrics.ascent();
    painter.drawText(bar.left(), baseline, shown[1]);
    painter.drawText(bar.center().x() - metrics.horizontalAdvance(shown[2]) / 2, baseline,
                     shown[2]);
    painter.drawText(bar.right() + 1 - metrics.horizontalAdvance(shown[3]), baseline, shown[3]);
}
