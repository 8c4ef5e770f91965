#include "typeset_formula.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

using Kind = ReadableBox::Kind;
using Role = ReadableBox::Role;

// Sizes of the formula, its powers and their powers, as parts of the font's size.
constexpr qreal kLevelScales[] = {1.0, 0.72, 0.58};
constexpr int kLevels = int(std::size(kLevelScales));
constexpr qreal kSmallestPointSize = 5.0;

int fontIndex(int level, bool italic)
{
    return 2 * level + (italic ? 1 : 0);
}

int levelOf(int font)
{
    return font / 2;
}

int smaller(int level)
{
    return std::min(level + 1, kLevels - 1);
}

// Names of letters only are set in italics, as variables are; π, ∞ and the like stay upright.
bool italicName(Role role, const QString& text)
{
    if (role != Role::Name || text.isEmpty()) return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    });
}

qreal ruleThickness(const QFontMetricsF& metrics)
{
    return std::max<qreal>(1.0, metrics.lineWidth());
}

// Room beside a fraction's bar and around a radicand.
qreal padding(const QFontMetricsF& metrics)
{
    return std::max<qreal>(1.0, 0.2 * metrics.xHeight());
}

// Between a bar or an overline and what is above or below it.
qreal clearance(const QFontMetricsF& metrics)
{
    return std::max<qreal>(1.0, 0.15 * metrics.xHeight());
}

// A numerator or a denominator without the parentheses that only the line a/b needs.
const ReadableBox& stackedPart(const ReadableBox& part)
{
    const bool parenthesized = part.kind == Kind::Fenced && part.children.front().ascii == "(";
    return parenthesized ? part.children[1] : part;
}

} // namespace

TypesetFormula::TypesetFormula(ReadableBox formula, const QFont& font) : formula(std::move(formula))
{
    for (const qreal scale : kLevelScales) {
        for (const bool italic : {false, true}) {
            QFont sized = font;
            if (font.pointSizeF() > 0)
                sized.setPointSizeF(std::max(kSmallestPointSize, font.pointSizeF() * scale));
            else
                sized.setPixelSize(std::max(7, qRound(font.pixelSize() * scale)));
            sized.setItalic(italic);
            fonts.push_back(sized);
            metrics.emplace_back(sized);
        }
    }
    natural = build(this->formula, 0, true);
}

const QFontMetricsF& TypesetFormula::metricsOf(int level) const
{
    return metrics[std::size_t(fontIndex(level, false))];
}

TypesetFormula::Piece TypesetFormula::build(const ReadableBox& box, int level, bool display) const
{
    Piece piece;
    switch (box.kind) {
    case Kind::Text:
        return buildText(QString::fromStdString(box.text), box.role, level);
    case Kind::Row:
    case Kind::Fenced: {
        std::vector<Piece> children;
        children.reserve(box.children.size());
        for (const ReadableBox& child : box.children)
            children.push_back(build(child, level, display && box.kind == Kind::Row));
        piece = box.kind == Kind::Row ? buildRow(std::move(children), Kind::Row)
                                      : buildFenced(std::move(children));
        break;
    }
    case Kind::Superscript:
        piece = buildSuperscript(build(box.children[0], level, false),
                                 build(box.children[1], smaller(level), false), level);
        break;
    case Kind::Fraction:
        // Stacked among the terms and factors of the formula itself; inside a call, a radical, a
        // power or another fraction, a stacked one would be small and hard to read.
        if (!display) return build(InlineFraction(box), level, false);
        piece = buildFraction(box, level);
        break;
    case Kind::Radical:
        piece = buildRadical(build(box.children[0], level, false), level);
        break;
    }
    piece.role = box.role;
    return piece;
}

TypesetFormula::Piece TypesetFormula::buildText(const QString& text, Role role, int level) const
{
    Piece piece;
    piece.draws = Piece::Draws::Text;
    piece.role = role;
    piece.text = text;
    const bool italic = italicName(role, text);
    piece.font = fontIndex(level, italic);
    const QFontMetricsF& m = metrics[std::size_t(piece.font)];
    piece.width = m.horizontalAdvance(text);
    // An italic letter leans out over its advance; what follows must not touch it.
    if (italic) piece.width += std::max<qreal>(0, -m.rightBearing(text.back()));
    piece.ascent = m.ascent();
    piece.descent = m.descent();
    return piece;
}

TypesetFormula::Piece TypesetFormula::buildRow(std::vector<Piece> children, Kind kind) const
{
    Piece row;
    row.kind = kind;
    for (Piece& child : children) {
        child.at = QPointF(row.width, 0);
        row.width += child.width;
        row.ascent = std::max(row.ascent, child.ascent);
        row.descent = std::max(row.descent, child.descent);
    }
    row.children = std::move(children);
    return row;
}

TypesetFormula::Piece TypesetFormula::buildFenced(std::vector<Piece> children) const
{
    const Piece& content = children[1];
    const qreal height = content.ascent + content.descent;
    for (const std::size_t delimiter : {std::size_t(0), children.size() - 1}) {
        Piece& mark = children[delimiter];
        const QFontMetricsF& m = metrics[std::size_t(mark.font)];
        const qreal glyph = m.ascent() + m.descent();
        // Only what is clearly taller than a line gets taller delimiters.
        if (mark.text.isEmpty() || height <= 1.15 * glyph) continue;
        mark.stretch = height / glyph;
        mark.ascent = content.ascent;
        mark.descent = content.descent;
    }
    return buildRow(std::move(children), Kind::Fenced);
}

TypesetFormula::Piece TypesetFormula::buildSuperscript(Piece base, Piece exponent, int level) const
{
    const QFontMetricsF& m = metricsOf(level);
    // Up by about half the base's height, and higher over a tall base.
    const qreal shift = std::max(0.45 * m.ascent(), base.ascent - 0.7 * exponent.ascent);
    const qreal gap = 0.05 * m.height();
    Piece piece;
    piece.kind = Kind::Superscript;
    exponent.at = QPointF(base.width + gap, -shift);
    piece.width = base.width + gap + exponent.width;
    piece.ascent = std::max(base.ascent, shift + exponent.ascent);
    piece.descent = std::max(base.descent, exponent.descent - shift);
    piece.children.push_back(std::move(base));
    piece.children.push_back(std::move(exponent));
    return piece;
}

TypesetFormula::Piece TypesetFormula::buildFraction(const ReadableBox& box, int level) const
{
    Piece numerator = build(stackedPart(box.children[0]), level, false);
    Piece denominator = build(stackedPart(box.children[1]), level, false);
    const QFontMetricsF& m = metricsOf(level);
    const qreal axis = m.strikeOutPos(); // the height of a minus sign's bar
    const qreal halfRule = ruleThickness(m) / 2;
    const qreal gap = clearance(m);
    Piece piece;
    piece.kind = Kind::Fraction;
    piece.draws = Piece::Draws::Bar;
    piece.source = &box;
    piece.font = fontIndex(level, false);
    piece.mark = axis;
    piece.width = std::max(numerator.width, denominator.width) + 2 * padding(m);
    numerator.at =
        QPointF((piece.width - numerator.width) / 2, -(axis + halfRule + gap + numerator.descent));
    denominator.at =
        QPointF((piece.width - denominator.width) / 2, -axis + halfRule + gap + denominator.ascent);
    piece.ascent = -numerator.at.y() + numerator.ascent;
    piece.descent = denominator.at.y() + denominator.descent;
    piece.children.push_back(std::move(numerator));
    piece.children.push_back(std::move(denominator));
    return piece;
}

TypesetFormula::Piece TypesetFormula::buildRadical(Piece radicand, int level) const
{
    const QFontMetricsF& m = metricsOf(level);
    Piece piece;
    piece.kind = Kind::Radical;
    piece.draws = Piece::Draws::Radical;
    piece.font = fontIndex(level, false);
    piece.mark = 0.75 * m.xHeight() + ruleThickness(m);
    radicand.at = QPointF(piece.mark + padding(m) / 2, 0);
    piece.width = radicand.at.x() + radicand.width + padding(m) / 2;
    piece.ascent = radicand.ascent + clearance(m) + ruleThickness(m);
    piece.descent = radicand.descent;
    piece.children.push_back(std::move(radicand));
    return piece;
}

void TypesetFormula::takeApart(Piece piece, qreal width, std::vector<Piece>& parts) const
{
    if (piece.width <= width || piece.children.empty()) {
        parts.push_back(std::move(piece));
        return;
    }
    switch (piece.kind) {
    case Kind::Row:
    case Kind::Fenced:
        for (std::size_t i = 0; i < piece.children.size(); ++i) {
            takeApart(std::move(piece.children[i]), width, parts);
            // Inside parentheses a line may begin after the opening one.
            if (piece.kind == Kind::Fenced && i == 0) parts.back().role = Role::Separator;
        }
        return;
    case Kind::Radical: {
        // An overline cannot go on over the next line: √( … ) instead.
        const int level = levelOf(piece.font);
        parts.push_back(buildText(QStringLiteral("\u221a("), Role::Separator, level));
        takeApart(std::move(piece.children[0]), width, parts);
        parts.push_back(buildText(QStringLiteral(")"), Role::Delimiter, level));
        return;
    }
    case Kind::Fraction:
        takeApart(build(InlineFraction(*piece.source), levelOf(piece.font), false), width, parts);
        return;
    default: // a power stays whole, even where it is too wide
        parts.push_back(std::move(piece));
        return;
    }
}

std::vector<TypesetFormula::Line> TypesetFormula::breakLines(qreal width) const
{
    const qreal indent = 2 * metricsOf(0).averageCharWidth();
    // Parts fit the lines after the first, which are the narrower.
    std::vector<Piece> parts;
    takeApart(natural, width - indent, parts);
    // A line may begin with an operator, or after a separator between factors.
    const auto mayBreakBefore = [&parts](std::size_t i) {
        return i > 0 && (parts[i].role == Role::Operator || parts[i - 1].role == Role::Separator);
    };
    // A line after the first begins without the spaces around its operator.
    const auto opening = [this](const Piece& part) {
        if (part.draws != Piece::Draws::Text || !part.text.startsWith(QLatin1Char(' ')))
            return part;
        int spaces = 0;
        while (spaces < part.text.size() && part.text[spaces] == QLatin1Char(' '))
            ++spaces;
        return buildText(part.text.mid(spaces), part.role, levelOf(part.font));
    };

    std::vector<Line> broken;
    for (std::size_t start = 0; start < parts.size();) {
        Line line;
        line.indent = broken.empty() ? 0 : indent;
        const qreal room = width - line.indent;
        std::size_t end = start;
        std::size_t lastBreak = start;
        qreal used = 0;
        for (; end < parts.size(); ++end) {
            const qreal partWidth =
                end == start && !broken.empty() ? opening(parts[end]).width : parts[end].width;
            if (end > start && mayBreakBefore(end)) lastBreak = end;
            if (end > start && used + partWidth > room) break;
            used += partWidth;
        }
        if (end < parts.size() && lastBreak > start) end = lastBreak;
        for (std::size_t i = start; i < end; ++i) {
            Piece part = i == start && !broken.empty() ? opening(parts[i]) : parts[i];
            part.at = QPointF(line.width, 0);
            line.width += part.width;
            line.ascent = std::max(line.ascent, part.ascent);
            line.descent = std::max(line.descent, part.descent);
            line.pieces.push_back(std::move(part));
        }
        broken.push_back(std::move(line));
        start = end;
    }
    return broken;
}

void TypesetFormula::lay(qreal width) const
{
    if (width == laidWidth) return;
    laidWidth = width;
    lines.clear();
    if (natural.width > width) {
        lines = breakLines(width);
        return;
    }
    Line line;
    line.width = natural.width;
    line.ascent = natural.ascent;
    line.descent = natural.descent;
    line.pieces.push_back(natural);
    lines.push_back(std::move(line));
}

QSizeF TypesetFormula::sizeWithin(qreal width) const
{
    lay(width);
    const qreal lineGap = metricsOf(0).leading() + 0.25 * metricsOf(0).xHeight();
    QSizeF size;
    for (const Line& line : lines) {
        size.setWidth(std::max(size.width(), line.indent + line.width));
        size.setHeight(size.height() + line.ascent + line.descent);
    }
    if (lines.size() > 1) size.setHeight(size.height() + qreal(lines.size() - 1) * lineGap);
    return size;
}

int TypesetFormula::lineCountWithin(qreal width) const
{
    lay(width);
    return int(lines.size());
}

int TypesetFormula::stackedFractionsWithin(qreal width) const
{
    lay(width);
    int stacked = 0;
    std::vector<const Piece*> pending;
    for (const Line& line : lines)
        for (const Piece& piece : line.pieces)
            pending.push_back(&piece);
    while (!pending.empty()) {
        const Piece* piece = pending.back();
        pending.pop_back();
        if (piece->draws == Piece::Draws::Bar) ++stacked;
        for (const Piece& child : piece->children)
            pending.push_back(&child);
    }
    return stacked;
}

void TypesetFormula::paint(QPainter& painter, const QPointF& topLeft, qreal width) const
{
    lay(width);
    const qreal lineGap = metricsOf(0).leading() + 0.25 * metricsOf(0).xHeight();
    qreal top = topLeft.y();
    for (const Line& line : lines) {
        const QPointF origin(topLeft.x() + line.indent, top + line.ascent);
        for (const Piece& piece : line.pieces)
            paintPiece(painter, piece, origin);
        top += line.ascent + line.descent + lineGap;
    }
}

void TypesetFormula::paintPiece(QPainter& painter, const Piece& piece, QPointF origin) const
{
    origin += piece.at;
    const QFontMetricsF& m = metrics[std::size_t(piece.font)];
    switch (piece.draws) {
    case Piece::Draws::Nothing:
        break;
    case Piece::Draws::Text:
        if (piece.text.isEmpty()) break;
        painter.setFont(fonts[std::size_t(piece.font)]);
        if (piece.stretch == 1) {
            painter.drawText(origin, piece.text);
            break;
        }
        painter.save();
        painter.translate(origin.x(), origin.y() - piece.ascent);
        painter.scale(1, piece.stretch);
        painter.drawText(QPointF(0, m.ascent()), piece.text);
        painter.restore();
        break;
    case Piece::Draws::Bar: {
        const qreal thickness = ruleThickness(m);
        const qreal inset = padding(m) / 2;
        painter.fillRect(QRectF(origin.x() + inset, origin.y() - piece.mark - thickness / 2,
                                piece.width - 2 * inset, thickness),
                         painter.pen().color());
        break;
    }
    case Piece::Draws::Radical: {
        const qreal thickness = ruleThickness(m);
        const qreal axis = m.strikeOutPos();
        const qreal top = origin.y() - piece.ascent + thickness / 2;
        const qreal left = origin.x();
        // A short rising tick, down to the foot, up to the bar over the radicand.
        QPainterPath sign(QPointF(left, origin.y() - axis));
        sign.lineTo(left + 0.2 * piece.mark, origin.y() - 1.2 * axis);
        sign.lineTo(left + 0.5 * piece.mark, origin.y() + piece.descent - thickness / 2);
        sign.lineTo(left + piece.mark, top);
        sign.lineTo(left + piece.width, top);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(
            QPen(painter.pen().color(), thickness, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        painter.drawPath(sign);
        painter.restore();
        break;
    }
    }
    for (const Piece& child : piece.children)
        paintPiece(painter, child, origin);
}
