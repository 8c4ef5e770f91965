#include "map_legend.h"

#include "field_map_layer.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

constexpr int kBarWidth = 200;
constexpr int kBarHeight = 12;
constexpr int kGradientStops = 16;

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
    const QFontMetrics metrics = fontMetrics();
    int width = kBarWidth;
    for (const QString& text : texts())
        width = std::max(width, metrics.horizontalAdvance(text));
    const bool bar = defined && limit > 0;
    const int height = 2 * metrics.lineSpacing() + (bar ? kBarHeight + 4 : 0);
    return QSize(2 * kMargin + width, 2 * kMargin + height);
}

void MapLegend::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintBox(painter);
    const QFontMetrics metrics = fontMetrics();
    const QStringList shown = texts();
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::black);
    int baseline = kMargin + metrics.ascent();
    painter.drawText(kMargin, baseline, shown[0]);
    painter.setFont(font());
    if (shown.size() == 2) {
        painter.drawText(kMargin, baseline + metrics.lineSpacing(), shown[1]);
        return;
    }

    const QRect bar(kMargin, kMargin + metrics.lineSpacing() + 2, width() - 2 * kMargin,
                    kBarHeight);
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    for (int i = 0; i <= kGradientStops; ++i) {
        const double t = double(i) / kGradientStops;
        gradient.setColorAt(t, QColor::fromRgb(divergingColor(2 * t - 1, 1)));
    }
    painter.setOpacity(kMapOpacity); // the colours as the map shows them over the white field
    painter.fillRect(bar, gradient);
    painter.setOpacity(1);
    painter.setPen(QColor(60, 60, 60));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar.adjusted(0, 0, -1, -1));

    painter.setPen(Qt::black);
    baseline = bar.bottom() + 4 + metrics.ascent();
    painter.drawText(bar.left(), baseline, shown[1]);
    painter.drawText(bar.center().x() - metrics.horizontalAdvance(shown[2]) / 2, baseline,
                     shown[2]);
    painter.drawText(bar.right() + 1 - metrics.horizontalAdvance(shown[3]), baseline, shown[3]);
}
