#include "info_panel.h"

#include "field_analysis.h"
#include "formula_label.h"
#include "limit_cycles.h"
#include "parse_error.h"
#include "readable_number.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGraphicsView>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPanelWidth = 340;
// In a smaller window the panel takes this share of its width, but no less than kNarrowest.
constexpr double kWindowShare = 0.3;
constexpr int kNarrowest = 120;

// Values this much smaller than the region (or the largest eigenvalue) are Newton's rounding
// of an exact 0.
constexpr double kRoundingFraction = 1e-9;

double snapped(double value, double size)
{
    return std::abs(value) < kRoundingFraction * size ? 0.0 : value;
}

QString readable(double value)
{
    return QString::fromStdString(ReadableNumber(value));
}

QString pointText(double x, double y, double regionSize)
{
    return QStringLiteral("(%1, %2)")
        .arg(readable(snapped(x, regionSize)), readable(snapped(y, regionSize)));
}

// A complex pair, the positive imaginary part first: "−1 ± 2i", or with its exact parts
// "−1/2 ± (√3/2)i ≈ −0.5 ± 0.866i".
QString complexPairText(double re, double im)
{
    const NumberForms real = ReadableNumberForms(re);
    const NumberForms imaginary = ReadableNumberForms(std::abs(im));
    const QString decimals =
        QStringLiteral("%1 \u00b1 %2i")
            .arg(QString::fromStdString(real.decimal), QString::fromStdString(imaginary.decimal));
    if (real.exact.empty() && imaginary.exact.empty()) return decimals;
    const QString exactReal =
        QString::fromStdString(real.exact.empty() ? real.decimal : real.exact);
    const QString exactImaginary =
        imaginary.exact.empty()
            ? QString::fromStdString(imaginary.decimal)
            : QStringLiteral("(%1)").arg(QString::fromStdString(imaginary.exact));
    return QStringLiteral("%1 \u00b1 %2i \u2248 %3").arg(exactReal, exactImaginary, decimals);
}

QString eigenvaluesText(const Equilibrium& e)
{
    const double size = std::max(std::abs(e.eigenvalues[0]), std::abs(e.eigenvalues[1]));
    const double re0 = snapped(e.eigenvalues[0].real(), size);
    const double im0 = snapped(e.eigenvalues[0].imag(), size);
    const double re1 = snapped(e.eigenvalues[1].real(), size);
    if (im0 != 0) return complexPairText(re0, im0);
    const QString first = readable(re0), second = readable(re1);
    // Exact forms with their decimals make a long line: one for each.
    if (first.contains(QChar(0x2248)) || second.contains(QChar(0x2248)))
        return QStringLiteral("%1\n    \u03bb = %2").arg(first, second);
    return QStringLiteral("%1, %2").arg(first, second);
}

QString valueOrUndefined(bool ok, double value)
{
    return ok ? panelNumber(value) : QObject::tr("undefined");
}

} // namespace

QString panelNumber(double value)
{
    if (value == 0) return QStringLiteral("0"); // -0 too
    return QString::number(value, 'g', 4);
}

QString describeEquilibria(const std::vector<Equilibrium>& equilibria, double regionSize)
{
    if (equilibria.empty()) return QObject::tr("none in the region");
    QStringList lines;
    for (const Equilibrium& e : equilibria) {
        const QString at = pointText(e.x, e.y, regionSize);
        if (e.kind == EquilibriumKind::Continuum) {
            lines
                << QObject::tr("%1  continuum\n    F = 0 along a curve or area through it").arg(at);
            continue;
        }
        QString line = QStringLiteral("%1  %2\n    \u03bb = %3")
                           .arg(at, QString::fromLatin1(KindName(e.kind)), eigenvaluesText(e));
        if (!e.proven)
            line += QObject::tr("\n    not resolved: a multiple zero, or zeros within \u00b1%1")
                        .arg(panelNumber(e.radius));
        else if (e.kind == EquilibriumKind::Centre)
            line += QObject::tr("\n    third order cannot decide: a centre or a weak spiral");
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

QString describeLimitCycles(const std::vector<LimitCycle>& cycles)
{
    if (cycles.empty()) return QObject::tr("none found in the region");
    QStringList lines;
    for (const LimitCycle& cycle : cycles) {
        const auto widest =
            std::max_element(cycle.x.begin(), cycle.x.end(),
                             [](double a, double b) { return std::abs(a) < std::abs(b); });
        lines << QObject::tr("%1, period %2\n    multiplier %3, max |x| = %4")
                     .arg(cycle.stable ? QObject::tr("stable") : QObject::tr("unstable"),
                          QString::number(cycle.period, 'g', 7), panelNumber(cycle.multiplier),
                          widest == cycle.x.end() ? QStringLiteral("?")
                                                  : QString::number(std::abs(*widest), 'g', 7));
    }
    return lines.join(QLatin1Char('\n'));
}

QString searchGapText(const EquilibriumSearch& search)
{
    switch (search.gap) {
    case EquilibriumSearch::Gap::None:
    case EquilibriumSearch::Gap::NotSearched:
        return QString();
    case EquilibriumSearch::Gap::Stopped:
        return QObject::tr("The search ran out of time: the list may be incomplete.");
    case EquilibriumSearch::Gap::TooMany:
        return QObject::tr("Only the %1 nearest the centre are listed.").arg(search.entries.size());
    case EquilibriumSearch::Gap::Undecided:
        return QObject::tr("Where F or its Jacobian is undefined or unbounded nothing could be "
                           "decided: the list may be incomplete.");
    }
    return QString();
}

QString describeSearch(const EquilibriumSearch& search, double regionSize)
{
    const QString gap = searchGapText(search);
    const QString list = describeEquilibria(search.entries, regionSize);
    return gap.isEmpty() ? list : list + QLatin1Char('\n') + gap;
}

InfoPanel::InfoPanel(const FieldAnalysis& analysis, const FunctionInterpreter& fx,
                     const FunctionInterpreter& fy, const std::vector<Equilibrium>& equilibria,
                     FieldKind kind, double regionSize, QGraphicsView* view)
    : analysis(&analysis), view(view)
{
    setFrameShape(QFrame::StyledPanel);
    setFixedWidth(kPanelWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    // Everything but the readout scrolls, however long the formulas or the list get.
    auto* content = new QWidget;
    auto* sections = new QVBoxLayout(content);
    const auto addFormula = [sections](const QString& name, const QString& objectName,
                                       const FunctionInterpreter& formula) {
        auto* label = new FormulaLabel(name, formula);
        label->setObjectName(objectName);
        sections->addWidget(label);
    };
    addHeading(sections, tr("Field"));
    addFormula(QStringLiteral("Fx = "), QStringLiteral("fx"), fx);
    addFormula(QStringLiteral("Fy = "), QStringLiteral("fy"), fy);
    unevaluated = new QLabel;
    unevaluated->setObjectName(QStringLiteral("unevaluatedText"));
    unevaluated->setWordWrap(true);
    unevaluated->setIndent(8);
    unevaluated->hide();
    sections->addWidget(unevaluated);
    if (analysis.Differentiable()) {
        addHeading(sections, tr("Divergence  \u2202Fx/\u2202x + \u2202Fy/\u2202y"));
        addFormula(QString(), QStringLiteral("divergence"), *analysis.DivergenceExpression());
        addHeading(sections, tr("Curl  \u2202Fy/\u2202x \u2212 \u2202Fx/\u2202y"));
        addFormula(QString(), QStringLiteral("curl"), *analysis.CurlExpression());
        addHeading(sections, tr("Jacobian"));
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 2; ++column) {
                const QString by = column == 0 ? QStringLiteral("x") : QStringLiteral("y");
                const QString of = row == 0 ? QStringLiteral("Fx") : QStringLiteral("Fy");
                addFormula(QStringLiteral("\u2202%1/\u2202%2 = ").arg(of, by),
                           QStringLiteral("jacobian%1%2").arg(of, by),
                           *analysis.JacobianExpression(row, column));
            }
        }
    } else {
        addSection(sections, tr("Not differentiable"), QStringLiteral("reasonText"),
                   tr("%1 Divergence, curl, the Jacobian and the equilibria need derivatives.")
                       .arg(QString::fromStdString(analysis.Reason())));
    }
    equilibriaText =
        addSection(sections,
                   kind == FieldKind::Acceleration ? tr("Equilibria (acceleration field)")
                                                   : tr("Equilibria (velocity field)"),
                   QStringLiteral("equilibriaText"),
                   analysis.Differentiable() ? describeEquilibria(equilibria, regionSize)
                                             : tr("not searched"));
    if (analysis.Differentiable() && kind == FieldKind::Velocity)
        cyclesText = addSection(sections, tr("Limit cycles"), QStringLiteral("cyclesText"),
                                tr("searching\u2026"));
    sections->addStretch(1);

    auto* scroller = new QScrollArea;
    scroller->setWidget(content);
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setFocusPolicy(Qt::NoFocus); // the keys stay with the view
    layout->addWidget(scroller, 1);

    auto* readout = new QVBoxLayout;
    readout->setContentsMargins(sections->contentsMargins());
    layout->addLayout(readout);
    values = addSection(readout, tr("Under the pointer"), QStringLiteral("pointerText"), QString());
    values->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    clearValues();

    view->viewport()->setMouseTracking(true); // moves arrive without a button held
    view->viewport()->installEventFilter(this);
}

void InfoPanel::addHeading(QVBoxLayout* into, const QString& title)
{
    into->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped())));
}

QLabel* InfoPanel::addSection(QVBoxLayout* into, const QString& title, const QString& name,
                              const QString& text)
{
    addHeading(into, title);
    auto* body = new QLabel(text);
    body->setObjectName(name);
    body->setTextFormat(Qt::PlainText);
    body->setWordWrap(true);
    body->setIndent(8);
    into->addWidget(body);
    return body;
}

bool InfoPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view->viewport() && analysis && isVisible()) {
        if (event->type() == QEvent::MouseMove)
            showValuesAt(view->mapToScene(static_cast<QMouseEvent*>(event)->pos()));
        else if (event->type() == QEvent::Leave)
            clearValues();
    }
    return false; // the view handles every event as it would without the panel
}

void InfoPanel::showValuesAt(const QPointF& at)
{
    if (!analysis) return;
    double f[2] = {0, 0};
    const bool defined = analysis->Value(at.x(), at.y(), f);
    auto derived = [&](bool divergence) {
        if (!analysis->Differentiable()) return tr("no derivative");
        if (!defined) return tr("undefined"); // nothing to differentiate where F is not
        try {
            return panelNumber(divergence ? analysis->DivergenceAt(at.x(), at.y())
                                          : analysis->CurlAt(at.x(), at.y()));
        } catch (const ParseErrorMsg&) {
            return tr("undefined");
        }
    };
    const QString field = defined
                              ? QStringLiteral("(%1, %2)").arg(panelNumber(f[0]), panelNumber(f[1]))
                              : tr("undefined");
    values->setText(QStringLiteral("x = %1\ny = %2\nF = %3\n|F| = %4\ndiv F = %5\ncurl F = %6")
                        .arg(panelNumber(at.x()), panelNumber(at.y()), field,
                             valueOrUndefined(defined, std::hypot(f[0], f[1])), derived(true),
                             derived(false)));
}

void InfoPanel::showEquilibria(const QString& text)
{
    equilibriaText->setText(text);
}

void InfoPanel::showLimitCycles(const QString& text)
{
    if (cyclesText) cyclesText->setText(text);
}

void InfoPanel::clearValues()
{
    values->setText(tr("Move the pointer over the field."));
}

void InfoPanel::showUnevaluated(std::size_t failed, std::size_t gridPoints)
{
    unevaluated->setText(tr("%1 of the %2 grid points could not be evaluated: they have no arrow.")
                             .arg(failed)
                             .arg(gridPoints));
    unevaluated->setVisible(failed > 0);
}

void InfoPanel::fitBeside(int windowWidth)
{
    setFixedWidth(std::clamp(int(kWindowShare * windowWidth), kNarrowest, kPanelWidth));
}

void InfoPanel::stopFollowing()
{
    analysis = nullptr;
    view->viewport()->removeEventFilter(this);
}
