#include "formula_label.h"

#include "engine.h"
#include "readable_text.h"
#include "typeset_formula.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>

#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr int kIndent = 8;

// Building the readable form and typesetting it recurse once per nested function, power, quotient
// or comparison, with large frames in sanitizer builds. Formulas nested deeper than this, which
// nobody reads as mathematics anyway, show as the engine prints them.
constexpr int kDeepestTypeset = 100;
// A formula too long to read is cut, so that laying the panel out stays quick.
constexpr int kLongestText = 2000;

// How deep `root` nests the operations that the readable form nests: sums, differences and
// products are collected into polynomials whatever their length, everything else nests.
int NestingDepth(const Parser* root)
{
    int deepest = 0;
    std::vector<std::pair<const Parser*, int>> pending;
    if (root) pending.emplace_back(root, 0);
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        const Parser* children[2] = {nullptr, nullptr};
        bool collected = false;
        if (const auto* operation = dynamic_cast<const OperationParser*>(node)) {
            const int code = operation->OperatorCode();
            collected = code == kOpPlus || code == kOpMinus || code == kOpMultiply;
            children[0] = operation->left;
            children[1] = operation->right;
        } else if (const auto* function = dynamic_cast<const FunctionParser*>(node)) {
            children[0] = function->argument;
        } else if (const auto* random = dynamic_cast<const RandomFunction*>(node)) {
            children[0] = random->argument;
        }
        const int below = depth + (collected ? 0 : 1);
        for (const Parser* child : children) {
            if (!child) continue;
            deepest = std::max(deepest, below);
            pending.emplace_back(child, below);
        }
    }
    return deepest;
}

QString shortened(const QString& text)
{
    if (text.size() <= kLongestText) return text;
    return QObject::tr("%1 \u2026 (%2 characters in all)")
        .arg(text.left(kLongestText))
        .arg(text.size());
}

ReadableBox nameText(const QString& name)
{
    ReadableBox box;
    box.text = name.toStdString();
    return box;
}

} // namespace

FormulaLabel::FormulaLabel(const QString& name, const FunctionInterpreter& formula, QWidget* parent)
    : QWidget(parent), name(name)
{
    if (NestingDepth(formula.Root()) <= kDeepestTypeset) {
        ReadableBox layout = ReadableLayout(formula);
        shown = QString::fromStdString(FlatText(layout));
        asciiText = QString::fromStdString(FlatAscii(layout));
        if (shown.size() <= kLongestText) {
            ReadableBox named;
            named.kind = ReadableBox::Kind::Row;
            named.children.push_back(nameText(name));
            named.children.push_back(std::move(layout));
            this->formula = std::make_unique<TypesetFormula>(std::move(named), font());
        }
    } else if (formula.Root()) {
        const PrintedText printed(formula.Root()->Print());
        asciiText = QString::fromUtf8(printed.get());
        shown = asciiText;
    }
    shown = shortened(shown);

    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    auto* copyAction = new QAction(tr("Copy formula"), this);
    connect(copyAction, &QAction::triggered, this, &FormulaLabel::copy);
    addAction(copyAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    setToolTip(tr("Right-click to copy the formula as the program reads it"));
}

FormulaLabel::~FormulaLabel() = default;

QString FormulaLabel::text() const
{
    return name + shown;
}

void FormulaLabel::copy() const
{
    QGuiApplication::clipboard()->setText(asciiText);
}

int FormulaLabel::textWidth(int width) const
{
    return std::max(1, width - kIndent);
}

bool FormulaLabel::hasHeightForWidth() const
{
    return true;
}

int FormulaLabel::heightForWidth(int width) const
{
    if (formula) return int(std::ceil(formula->sizeWithin(textWidth(width)).height()));
    return fontMetrics()
        .boundingRect(QRect(0, 0, textWidth(width), 1 << 20), Qt::TextWordWrap, text())
        .height();
}

QSize FormulaLabel::sizeHint() const
{
    const int width =
        formula ? kIndent + int(std::ceil(formula->naturalWidth())) : minimumSizeHint().width();
    return QSize(width, heightForWidth(width));
}

QSize FormulaLabel::minimumSizeHint() const
{
    return QSize(kIndent + fontMetrics().averageCharWidth() * 8, fontMetrics().height());
}

void FormulaLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    if (formula)
        formula->paint(painter, QPointF(kIndent, 0), textWidth(width()));
    else
        painter.drawText(rect().adjusted(kIndent, 0, 0, 0), Qt::TextWordWrap, text());
}
