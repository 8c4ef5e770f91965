#include "scale_legend.h"

#include "field_map_layer.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace {

constexpr int kBarWidth = 160;
constexpr int kBarHeight = 12;
constexpr int kGradientStops = 16;

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
    const QFontMetrics metrics = fontMetrics();
    int width = kBarWidth;
    for (const QString& text : texts())
        width = std::max(width, metrics.horizontalAdvance(text));
    const int height = 2 * metrics.lineSpacing() + (shownTop > 0 ? kBarHeight + 4 : 0);
    return QSize(2 * kMargin + width, 2 * kMargin + height);
}

void ScaleLegend::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintBox(painter);
    const QFontMetrics metrics = fontMetrics();
    const QStringList shown = texts();
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::black);
    const int baseline = kMargin + metrics.ascent();
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
        gradient.setColorAt(t, QColor::fromRgb(sequentialColor(t)));
    }
    painter.fillRect(bar, gradient);
    painter.setPen(QColor(60, 60, 60));
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    painter.setPen(Qt::black);
    const int labels = bar.bottom() + 4 + metrics.ascent();
    painter.drawText(bar.left(), labels, shown[1]);
    painter.drawText(bar.right() + 1 - metrics.horizontalAdvance(shown[2]), labels, shown[2]);
}
