#include "fading_layer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

FadingLayer::FadingLayer(const QRectF& region) : region(region)
{
    setFlag(ItemUsesExtendedStyleOption);
    setZValue(-1); // under the arrows and the particles
}

QRectF FadingLayer::boundingRect() const
{
    return region;
}

void FadingLayer::setRegion(const QRectF& newRegion)
{
    prepareGeometryChange();
    region = newRegion;
    image = QImage(); // what it showed was drawn for the old region's pixels
    drawable = QRect();
}

void FadingLayer::fitTo(const QTransform& sceneToView, qreal devicePixelRatio)
{
    const QTransform toPixels =
        sceneToView * QTransform::fromScale(devicePixelRatio, devicePixelRatio);
    const QRectF covered = toPixels.mapRect(region);
    const QSize size(int(std::ceil(covered.width())), int(std::ceil(covered.height())));
    scaleX = toPixels.m11();
    scaleY = toPixels.m22();
    offsetX = toPixels.dx() - covered.left();
    offsetY = toPixels.dy() - covered.top();
    if (size == image.size() && devicePixelRatio == pixelRatio) return;
    prepareGeometryChange();
    pixelRatio = devicePixelRatio;
    image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    drawable = image.rect();
    clear();
}

void FadingLayer::limitTo(const QRectF& shown)
{
    const QRectF pixels =
        QRectF(pixelOf(shown.topLeft()), pixelOf(shown.bottomRight())).normalized();
    const QRect area = pixels.toAlignedRect().adjusted(-1, -1, 1, 1) & image.rect();
    if (area == drawable) return;
    drawable = area;
    clear();
}

void FadingLayer::clear()
{
    image.fill(Qt::transparent);
    pendingSeconds = 0;
    update();
}

void FadingLayer::fade(double seconds, double lifetime)
{
    pendingSeconds += std::max(0.0, seconds);
    // Channels are multiplied by factor/256 and rounded down, so every trace reaches zero. A
    // factor near 1 would be rounded off badly at high frame rates, so time is gathered until
    // the factor is at most 0.9; the remaining error is under half a percent per step.
    const double remaining = std::exp(-pendingSeconds / lifetime);
    if (remaining > 0.9 || image.isNull()) return;
    pendingSeconds = 0;
    const auto m = uint32_t(std::lround(256.0 * remaining));
    for (int y = drawable.top(); y <= drawable.bottom(); ++y) {
        auto* pixel = reinterpret_cast<uint32_t*>(image.scanLine(y)) + drawable.left();
        for (int i = 0; i < drawable.width(); ++i) {
            const uint32_t p = pixel[i];
            const uint32_t redBlue = ((p & 0x00FF00FFu) * m >> 8) & 0x00FF00FFu;
            const uint32_t alphaGreen = (((p >> 8) & 0x00FF00FFu) * m) & 0xFF00FF00u;
            pixel[i] = redBlue | alphaGreen;
        }
    }
    update();
}

namespace {

// `color` over `pixel`, both premultiplied.
inline uint32_t over(uint32_t pixel, uint32_t color, uint32_t inverseAlpha)
{
    const uint32_t redBlue = ((pixel & 0x00FF00FFu) * inverseAlpha >> 8) & 0x00FF00FFu;
    const uint32_t alphaGreen = (((pixel >> 8) & 0x00FF00FFu) * inverseAlpha) & 0xFF00FF00u;
    return color + (redBlue | alphaGreen);
}

} // namespace

void FadingLayer::drawLine(const QPointF& from, const QPointF& to, QRgb color, int width)
{
    if (image.isNull()) return;
    const QPointF a = pixelOf(from);
    const QPointF b = pixelOf(to);
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double length = std::max(std::abs(dx), std::abs(dy));
    if (!std::isfinite(length)) return;
    // One step per pixel along the longer axis; a line far longer than the picture is a jump
    // (a particle put back, say), not a trail.
    const int steps = int(std::ceil(length));
    if (steps > image.width() + image.height() || drawable.isEmpty()) return;

    // Only the steps inside the picture: clipped to it first (Liang and Barsky's way), so that
    // the loops below test no bounds per pixel. A flow of fast particles draws millions.
    const int half = (width - 1) / 2;
    double enter = 0.0, leave = 1.0;
    const auto within = [&](double p, double q) { // keeps the t with p t <= q
        if (p == 0.0) return q >= 0.0;
        const double t = q / p;
        if (p < 0.0)
            enter = std::max(enter, t);
        else
            leave = std::min(leave, t);
        return enter <= leave;
    };
    const int left = drawable.left(), right = drawable.right();
    const int top = drawable.top(), bottom = drawable.bottom();
    const double beyond = 1.0 - 1e-9; // up to the last pixel's far edge
    if (!within(-dx, a.x() + half - left) || !within(dx, right + half + beyond - a.x()) ||
        !within(-dy, a.y() + half - top) || !within(dy, bottom + half + beyond - a.y()))
        return;
    const int first = steps ? int(std::ceil(enter * steps)) : 0;
    const int last = steps ? int(std::floor(leave * steps)) : 0;

    const uint32_t inverseAlpha = 256 - qAlpha(color);
    auto* rows = reinterpret_cast<uint32_t*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / 4;
    const double stepX = steps ? dx / steps : 0.0, stepY = steps ? dy / steps : 0.0;
    for (int i = first; i <= last; ++i) {
        const int x0 = int(std::floor(a.x() + i * stepX)) - half;
        const int y0 = int(std::floor(a.y() + i * stepY)) - half;
        if (width == 1) {
            // Inside by the clipping, up to the rounding of a last step: held in by a clamp.
            const qsizetype at =
                qsizetype(std::clamp(y0, top, bottom)) * stride + std::clamp(x0, left, right);
            rows[at] = over(rows[at], color, inverseAlpha);
            continue;
        }
        for (int y = std::max(y0, top); y < std::min(y0 + width, bottom + 1); ++y)
            for (int x = std::max(x0, left); x < std::min(x0 + width, right + 1); ++x)
                rows[y * stride + x] = over(rows[y * stride + x], color, inverseAlpha);
    }
}

void FadingLayer::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (image.isNull()) return;
    // Straight onto the device at a whole pixel: no scaling, no flip, the fastest blit.
    const QRectF covered = painter->worldTransform().mapRect(region);
    painter->save();
    painter->resetTransform();
    painter->drawImage(QPointF(std::round(covered.left()), std::round(covered.top())), image);
    painter->restore();
}
