#include "dotsprites.h"

#include <QPainter>

#include <cmath>
#include <map>
#include <tuple>

namespace {

struct Key
{
    double diameter;
    quint64 color; // all 16 bits a channel: the painting rounds from those
    double scaleX;
    double scaleY;
    bool operator<(const Key& other) const
    {
        return std::tie(diameter, color, scaleX, scaleY) <
               std::tie(other.diameter, other.color, other.scaleX, other.scaleY);
    }
};

// Weak, so that a resized view's old sprites go with the dots that used them.
std::map<Key, std::weak_ptr<DotSprites>>& cache()
{
    static std::map<Key, std::weak_ptr<DotSprites>> sets;
    return sets;
}

// Far beyond any screen; keeps the phase arithmetic in range.
constexpr double kFarthest = 1 << 24;

} // namespace

std::shared_ptr<DotSprites> DotSprites::forDisc(double diameter, const QColor& color, double scaleX,
                                                double scaleY)
{
    auto& sets = cache();
    for (auto it = sets.begin(); it != sets.end();)
        it = it->second.expired() ? sets.erase(it) : std::next(it);
    std::weak_ptr<DotSprites>& entry = sets[Key{diameter, color.rgba64(), scaleX, scaleY}];
    std::shared_ptr<DotSprites> found = entry.lock();
    if (!found) {
        found = std::make_shared<DotSprites>(diameter, color, scaleX, scaleY);
        entry = found;
    }
    return found;
}

DotSprites::DotSprites(double diameter, const QColor& color, double scaleX, double scaleY)
    : diameter(diameter), color(color), xScale(scaleX), yScale(scaleY),
      halfWidth(int(std::ceil(std::abs(diameter * scaleX) / 2)) + 1),
      halfHeight(int(std::ceil(std::abs(diameter * scaleY) / 2)) + 1), sprites(kPhases * kPhases),
      offsets(kPhases * kPhases)
{
    for (int phaseY = 0; phaseY < kPhases; ++phaseY) {
        for (int phaseX = 0; phaseX < kPhases; ++phaseX)
            render(phaseX, phaseY);
    }
}

void DotSprites::render(int phaseX, int phaseY)
{
    QImage& image = sprites[phaseY * kPhases + phaseX];
    image = QImage(2 * halfWidth + 2, 2 * halfHeight + 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The same disc under the same scale as in the scene, only moved to this sub-pixel offset.
    painter.setWorldTransform(QTransform(xScale, 0, 0, yScale, halfWidth + double(phaseX) / kPhases,
                                         halfHeight + double(phaseY) / kPhases));
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const QRectF disc(-diameter / 2, -diameter / 2, diameter, diameter);
    painter.drawEllipse(disc);
    painter.drawEllipse(disc);
    painter.end();

    // Blending costs by the row: drop the transparent margin.
    QRect visible;
    for (int row = 0; row < image.height(); ++row) {
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(row));
        for (int column = 0; column < image.width(); ++column) {
            if (qAlpha(pixels[column]) != 0) visible |= QRect(column, row, 1, 1);
        }
    }
    offsets[phaseY * kPhases + phaseX] = visible.topLeft();
    image = image.copy(visible);
}

bool DotSprites::draw(QPainter* painter, const QPointF& centre, double ratio)
{
    if (!(std::abs(centre.x()) < kFarthest && std::abs(centre.y()) < kFarthest)) return false;
    // The nearest phase: whole pixels and 1/kPhases of one.
    const int x = int(std::floor(centre.x() * kPhases + 0.5));
    const int y = int(std::floor(centre.y() * kPhases + 0.5));
    const int pixelX = x >= 0 ? x / kPhases : -((kPhases - 1 - x) / kPhases);
    const int pixelY = y >= 0 ? y / kPhases : -((kPhases - 1 - y) / kPhases);
    const int phase = (y - pixelY * kPhases) * kPhases + x - pixelX * kPhases;
    const QImage& image = sprites[phase];
    if (image.isNull()) return true; // a disc too small to cover any pixel
    const QPoint corner = QPoint(pixelX - halfWidth, pixelY - halfHeight) + offsets[phase];
    if (ratio == 1.0)
        painter->drawImage(corner, image);
    else
        painter->drawImage(QRectF(QPointF(corner) / ratio, QSizeF(image.size()) / ratio), image);
    return true;
}
