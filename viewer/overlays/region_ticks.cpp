#include "region_ticks.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRect>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLeastXSpacing = 90; // pixels between numbers along the bottom
constexpr double kLeastYSpacing = 60; // and along the left edge
constexpr int kTickLength = 6;
constexpr int kCornerGap = 36; // the corner is left to neither axis, so that labels never meet
const QColor kInk(25, 25, 25);
const QColor kHalo(255, 255, 255, 210); // readable over arrows and maps

// A label with a light box behind it, its top-left corner at `at`.
void drawLabel(QPainter& painter, const QPoint& at, const QString& text)
{
    const QFontMetrics metrics(painter.font());
    const QRect box(at, QSize(metrics.horizontalAdvance(text) + 4, metrics.height()));
    painter.fillRect(box, kHalo);
    painter.drawText(box, Qt::AlignCenter, text);
}

} // namespace

double tickStep(double pixelsPerUnit, double leastPixels)
{
    const double leastStep = leastPixels / std::abs(pixelsPerUnit);
    if (!(leastStep > 0) || !std::isfinite(leastStep)) return 1.0; // no scale: nothing sensible
    double power = std::pow(10.0, std::floor(std::log10(leastStep)));
    for (;; power *= 10)
        for (const double multiple : {1.0, 2.0, 5.0})
            if (multiple * power >= leastStep) return multiple * power;
}

std::vector<double> tickValues(double low, double high, double step)
{
    // A few hundred at most however the numbers come; also where k would be too large to count.
    constexpr int kMostTicks = 500;
    std::vector<double> values;
    const double first = std::ceil(low / step);
    for (double k = first; k * step <= high && k - first < kMostTicks; ++k)
        values.push_back(k * step == 0 ? 0.0 : k * step); // no -0
    return values;
}

QString tickLabel(double value, double step)
{
    QString text;
    const int stepExponent = int(std::floor(std::log10(step) + 1e-9));
    const int valueExponent =
        value == 0 ? stepExponent : int(std::floor(std::log10(std::abs(value))));
    if (stepExponent >= -4 && valueExponent < 7)
        text = QString::number(value, 'f', std::max(0, -stepExponent));
    else
        text = QString::number(value, 'g', std::clamp(valueExponent - stepExponent + 1, 1, 15));
    return text.replace(QLatin1Char('-'), QChar(0x2212));
}

void paintRegionTicks(QPainter& painter, const QRect& port, const QTransform& sceneToPort,
                      const QFont& font)
{
    const QTransform portToScene = sceneToPort.inverted();
    const QRectF shown = portToScene.mapRect(QRectF(port));
    painter.setFont(font);
    painter.setPen(kInk);
    const QFontMetrics metrics(font);

    const double xStep = tickStep(sceneToPort.m11(), kLeastXSpacing);
    for (const double x : tickValues(shown.left(), shown.right(), xStep)) {
        const int pixel = int(std::lround(sceneToPort.map(QPointF(x, 0)).x()));
        if (pixel < port.left() + kCornerGap || pixel > port.right()) continue;
        painter.drawLine(pixel, port.bottom(), pixel, port.bottom() - kTickLength);
        const QString text = tickLabel(x, xStep);
        const int width = metrics.horizontalAdvance(text) + 4;
        const int left = std::min(pixel - width / 2, port.right() + 1 - width);
        drawLabel(painter, QPoint(left, port.bottom() - kTickLength - metrics.height()), text);
    }

    const double yStep = tickStep(sceneToPort.m22(), kLeastYSpacing);
    for (const double y : tickValues(shown.top(), shown.bottom(), yStep)) {
        const int pixel = int(std::lround(sceneToPort.map(QPointF(0, y)).y()));
        if (pixel > port.bottom() - kCornerGap || pixel < port.top()) continue;
        painter.drawLine(port.left(), pixel, port.left() + kTickLength, pixel);
        const int top = std::max(pixel - metrics.height() / 2, port.top());
        drawLabel(painter, QPoint(port.left() + kTickLength + 1, top), tickLabel(y, yStep));
    }
}
