#pragma once

#include "readable_text.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <vector>

class QPainter;

// A formula's readable layout set in a font, as mathematics is set: names in italics, powers
// raised in a smaller size, fractions among the formula's terms stacked over a bar (inside calls
// and powers a/b), radicals under a drawn sign, and parentheses stretched to what they enclose.
// Where the width runs short, the formula breaks into lines before its operators or between its
// factors, each line after the first indented, and a fraction too wide for a line goes on one
// line as a/b.
class TypesetFormula
{
public:
    TypesetFormula(ReadableBox formula, const QFont& font);
    TypesetFormula(const TypesetFormula&) = delete;
    TypesetFormula& operator=(const TypesetFormula&) = delete;

    // How large the formula is when set within `width` (pixels).
    QSizeF sizeWithin(qreal width) const;
    // The width on one line with its fractions stacked: what it takes to show it at its best.
    qreal naturalWidth() const { return natural.width; }
    // How many lines it takes within `width`, and how many of its fractions stay stacked.
    int lineCountWithin(qreal width) const;
    int stackedFractionsWithin(qreal width) const;
    // Paints it as set within `width`, its top left corner at `topLeft`, in the painter's pen.
    void paint(QPainter& painter, const QPointF& topLeft, qreal width) const;

private:
    // One laid-out box: where its origin (the left end of its baseline) lies from its parent's,
    // how far it reaches right, up and down, and what it draws beside its children.
    struct Piece
    {
        enum class Draws
        {
            Nothing,
            Text,
            Bar,     // a fraction's bar, `mark` over the baseline
            Radical, // the radical sign, `mark` wide, over the child
        };
        Draws draws = Draws::Nothing;
        ReadableBox::Kind kind = ReadableBox::Kind::Text;
        ReadableBox::Role role = ReadableBox::Role::None;
        QString text;
        int font = 0;
        QPointF at;
        qreal width = 0;
        qreal ascent = 0;
        qreal descent = 0;
        qreal mark = 0;
        qreal stretch = 1; // a delimiter drawn this many times its height
        // A stacked fraction's box, to set it on one line where it is too wide.
        const ReadableBox* source = nullptr;
        std::vector<Piece> children;
    };
    struct Line
    {
        std::vector<Piece> pieces;
        qreal indent = 0;
        qreal width = 0;
        qreal ascent = 0;
        qreal descent = 0;
    };

    // `level` picks the size (0 the formula's); `display` holds among the terms and factors of
    // the formula itself, where fractions are stacked.
    Piece build(const ReadableBox& box, int level, bool display) const;
    Piece buildText(const QString& text, ReadableBox::Role role, int level) const;
    Piece buildRow(std::vector<Piece> children, ReadableBox::Kind kind) const;
    Piece buildFenced(std::vector<Piece> children) const;
    Piece buildSuperscript(Piece base, Piece exponent, int level) const;
    Piece buildFraction(const ReadableBox& box, int level) const;
    Piece buildRadical(Piece radicand, int level) const;
    // The pieces that lines may be made of: `piece` taken apart until each part fits `width`,
    // where it can be.
    void takeApart(Piece piece, qreal width, std::vector<Piece>& parts) const;
    std::vector<Line> breakLines(qreal width) const;
    void lay(qreal width) const;
    void paintPiece(QPainter& painter, const Piece& piece, QPointF origin) const;
    const QFontMetricsF& metricsOf(int level) const;

    // Per level of size (the formula's, its powers', their powers'), upright and italic.
    std::vector<QFont> fonts;
    std::vector<QFontMetricsF> metrics;
    const ReadableBox formula; // the pieces' sources
    Piece natural;
    // The lines for the width they were last laid out within.
    mutable qreal laidWidth = -1;
    mutable std::vector<Line> lines;
};
