#include "equilibrium_markers.h"

#include "equilibria.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kSymbolRadius = 6;        // pixels
constexpr double kLabelGap = 10;           // pixels from the centre to the label
constexpr double kArrowHead = 5;           // pixels
const QColor kInk(25, 25, 25);             // symbols, lines and labels
const QColor kHalo(255, 255, 255, 230);    // keeps them readable over arrows and maps
constexpr QRgb kStableFill = 0xff1a1a1a;   // filled symbols: the field leads in
constexpr QRgb kUnstableFill = 0xffffffff; // hollow ones: it leads out

QPointF unit(QPointF v)
{
    const double length = std::hypot(v.x(), v.y());
    return length > 0 ? v / length : QPointF(1, 0);
}

// The symbol of each kind, centred on the origin, `r` pixels in radius.
QPainterPath symbolOf(EquilibriumKind kind, double r)
{
    QPainterPath path;
    switch (kind) {
    case EquilibriumKind::Saddle:
        path.moveTo(-r, -r);
        path.lineTo(r, r);
        path.moveTo(-r, r);
        path.lineTo(r, -r);
        break;
    case EquilibriumKind::StableSpiral:
    case EquilibriumKind::UnstableSpiral:
        path.moveTo(0, -r * 1.2);
        path.lineTo(r * 1.2, 0);
        path.lineTo(0, r * 1.2);
        path.lineTo(-r * 1.2, 0);
        path.closeSubpath();
        break;
    case EquilibriumKind::Degenerate:
    case EquilibriumKind::Continuum:
        path.addRect(QRectF(-r * 0.85, -r * 0.85, r * 1.7, r * 1.7));
        break;
    case EquilibriumKind::Centre:
        path.addEllipse(QPointF(0, 0), r, r);
        path.addEllipse(QPointF(0, 0), r * 0.3, r * 0.3);
        break;
    case EquilibriumKind::StableNode:
    case EquilibriumKind::UnstableNode:
    case EquilibriumKind::Stable:
    case EquilibriumKind::Unstable:
        path.addEllipse(QPointF(0, 0), r, r);
        break;
    }
    return path;
}

// Filled where the field leads in, hollow where it leads out.
bool filled(EquilibriumKind kind)
{
    switch (kind) {
    case EquilibriumKind::StableNode:
    case EquilibriumKind::StableSpiral:
    case EquilibriumKind::Stable:
    case EquilibriumKind::Continuum:
        return true;
    default:
        return false;
    }
}

QPointF pointOf(const std::array<double, 2>& v)
{
    return QPointF(v[0], v[1]);
}

// A line twice kDirectionLength long through `centre` along `direction` (pixels), with heads
// that point away from the centre or towards it.
QPainterPath directionLine(QPointF centre, QPointF direction, bool outward)
{
    const double length = EquilibriumMarkers::kDirectionLength;
    const QPointF across(-direction.y(), direction.x());
    QPainterPath path;
    path.moveTo(centre - length * direction);
    path.lineTo(centre + length * direction);
    for (int side : {-1, 1}) {
        const QPointF along = side * direction;
        const QPointF tip = outward ? centre + length * along : centre + 0.45 * length * along;
        const QPointF back = outward ? -along : along;
        path.moveTo(tip + kArrowHead * (back + 0.7 * across));
        path.lineTo(tip);
        path.lineTo(tip + kArrowHead * (back - 0.7 * across));
    }
    return path;
}

void strokeWithHalo(QPainter* painter, const QPainterPath& path, Qt::PenStyle style)
{
    painter->strokePath(path, QPen(kHalo, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->strokePath(path, QPen(kInk, 1.6, style, Qt::RoundCap, Qt::RoundJoin));
}

} // namespace

EquilibriumMarkers::EquilibriumMarkers(const std::vector<Equilibrium>& equilibria,
                                       const QRectF& region)
    : region(region), extent(region)
{
    setZValue(2); // above the arrows and the particles
    setEquilibria(equilibria);
}

void EquilibriumMarkers::setEquilibria(const std::vector<Equilibrium>& equilibria)
{
    shown.clear();
    for (const Equilibrium& e : equilibria) {
        Marker marker;
        marker.at = QPointF(e.x, e.y);
        marker.kind = e.kind;
        marker.label = QString::fromLatin1(KindName(e.kind));
        marker.saddle = e.kind == EquilibriumKind::Saddle;
        if (marker.saddle) {
            marker.outward = pointOf(e.eigenvectors[0]);
            marker.inward = pointOf(e.eigenvectors[1]);
        }
        shown.append(marker);
    }
    update();
}

QRectF EquilibriumMarkers::boundingRect() const
{
    return extent;
}

void EquilibriumMarkers::fitTo(const QTransform& sceneToView)
{
    const double perUnitX = std::abs(sceneToView.m11());
    const double perUnitY = std::abs(sceneToView.m22());
    if (!(perUnitX > 0) || !(perUnitY > 0)) return;
    const QFontMetricsF metrics{QFont()};
    QRectF covered = region;
    for (const Marker& marker : qAsConst(shown)) {
        const double reach =
            std::max(kDirectionLength, kLabelGap + metrics.horizontalAdvance(marker.label)) + 4;
        const double height = std::max(kDirectionLength, metrics.height()) + 4;
        covered |= QRectF(marker.at.x() - reach / perUnitX, marker.at.y() - height / perUnitY,
                          2 * reach / perUnitX, 2 * height / perUnitY);
    }
    if (covered == extent) return;
    prepareGeometryChange();
    extent = covered;
}

void EquilibriumMarkers::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->save();
    const QTransform toDevice = painter->worldTransform();
    painter->setWorldTransform(QTransform()); // pixels from here on
    painter->setRenderHint(QPainter::Antialiasing);
    const QFont font;
    painter->setFont(font);
    const QFontMetricsF metrics(font);

    // Lines first, then symbols, then labels: no line crosses a neighbour's symbol.
    QVector<QPointF> centres;
    QVector<QRectF> taken; // symbols and labels placed so far, which labels keep clear of
    for (const Marker& marker : qAsConst(shown)) {
        const QPointF centre = toDevice.map(marker.at);
        centres.append(centre);
        const double r = kSymbolRadius + 2;
        taken.append(QRectF(centre - QPointF(r, r), QSizeF(2 * r, 2 * r)));
        if (!marker.saddle) continue;
        const QPointF towardsOut = unit(toDevice.map(marker.at + marker.outward) - centre);
        const QPointF towardsIn = unit(toDevice.map(marker.at + marker.inward) - centre);
        strokeWithHalo(painter, directionLine(centre, towardsIn, false), Qt::DashLine);
        strokeWithHalo(painter, directionLine(centre, towardsOut, true), Qt::SolidLine);
    }
    for (int i = 0; i < shown.size(); ++i) {
        const EquilibriumKind kind = shown[i].kind;
        const QPainterPath symbol = symbolOf(kind, kSymbolRadius).translated(centres[i]);
        strokeWithHalo(painter, symbol, Qt::SolidLine);
        if (kind != EquilibriumKind::Saddle)
            painter->fillPath(symbol, QColor::fromRgba(filled(kind) ? kStableFill : kUnstableFill));
        painter->strokePath(symbol, QPen(kInk, 1.6));
    }

    for (int i = 0; i < shown.size(); ++i) {
        const QPointF centre = centres[i];
        const QSizeF size(metrics.horizontalAdvance(shown[i].label), metrics.height());
        // Above right, below right, above left, below left: the first spot that is free.
        const QPointF corners[] = {
            centre + QPointF(kLabelGap, -kLabelGap - size.height() / 2),
            centre + QPointF(kLabelGap, kLabelGap - size.height() / 2),
            centre + QPointF(-kLabelGap - size.width(), -kLabelGap - size.height() / 2),
            centre + QPointF(-kLabelGap - size.width(), kLabelGap - size.height() / 2)};
        QRectF place(corners[0], size);
        for (const QPointF& corner : corners) {
            const QRectF candidate(corner, size);
            if (std::none_of(taken.begin(), taken.end(),
                             [&](const QRectF& other) { return other.intersects(candidate); })) {
                place = candidate;
                break;
            }
        }
        taken.append(place);
        // Plain text on a pale plate: outlined glyphs would cost milliseconds per repaint, and
        // the view repaints behind every moving particle.
        painter->setPen(Qt::NoPen);
        painter->setBrush(kHalo);
        painter->drawRoundedRect(place.adjusted(-2, 0, 2, 0), 3, 3);
        painter->setPen(kInk);
        painter->drawText(QPointF(place.left(), place.top() + metrics.ascent()), shown[i].label);
    }
    painter->restore();
}
