#include "info_panel.h"

#include "field_analysis.h"
#include "parse_error.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGraphicsView>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int kPanelWidth = 340;

// Values this much smaller than the region (or the largest eigenvalue) are Newton's rounding
// of an exact 0.
constexpr double kRoundingFraction = 1e-9;

double snapped(double value, double size)
{
    return std::abs(value) < kRoundingFraction * size ? 0.0 : value;
}

QString pointText(double x, double y, double regionSize)
{
    return QStringLiteral("(%1, %2)")
        .arg(panelNumber(snapped(x, regionSize)), panelNumber(snapped(y, regionSize)));
}

QString eigenvaluesText(const Equilibrium& e)
{
    const double size = std::max(std::abs(e.eigenvalues[0]), std::abs(e.eigenvalues[1]));
    const double re0 = snapped(e.eigenvalues[0].real(), size);
    const double im0 = snapped(e.eigenvalues[0].imag(), size);
    const double re1 = snapped(e.eigenvalues[1].real(), size);
    if (im0 != 0) // a complex pair, the positive imaginary part first
        return QStringLiteral("%1 \u00b1 %2i").arg(panelNumber(re0), panelNumber(std::abs(im0)));
    return QStringLiteral("%1, %2").arg(panelNumber(re0), panelNumber(re1));
}

// A formula too long to read is cut, so that laying the panel out stays quick.
constexpr int kLongestText = 2000;

QString shortened(const QString& text)
{
    if (text.size() <= kLongestText) return text;
    return QObject::tr("%1 \u2026 (%2 characters in all)")
        .arg(text.left(kLongestText))
        .arg(text.size());
}

QString printed(const std::string& text)
{
    return shortened(QString::fromStdString(text));
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
        if (e.kind == EquilibriumKind::Continuum)
            lines
                << QObject::tr("%1  continuum\n    F = 0 along a curve or area through it").arg(at);
        else
            lines << QStringLiteral("%1  %2\n    \u03bb = %3")
                         .arg(at, QString::fromLatin1(KindName(e.kind)), eigenvaluesText(e));
    }
    return lines.join(QLatin1Char('\n'));
}

InfoPanel::InfoPanel(const FieldAnalysis& analysis, const QString& fx, const QString& fy,
                     const std::vector<Equilibrium>& equilibria, FieldKind kind, double regionSize,
                     QGraphicsView* view)
    : analysis(&analysis), view(view)
{
    setFrameShape(QFrame::StyledPanel);
    setFixedWidth(kPanelWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    // Everything but the readout scrolls, however long the formulas or the list get.
    auto* content = new QWidget;
    auto* sections = new QVBoxLayout(content);
    addSection(sections, tr("Field"), QStringLiteral("fieldText"),
               QStringLiteral("Fx = %1\nFy = %2").arg(shortened(fx), shortened(fy)));
    if (analysis.Differentiable()) {
        addSection(sections, tr("Divergence  \u2202Fx/\u2202x + \u2202Fy/\u2202y"),
                   QStringLiteral("divergenceText"), printed(analysis.Divergence()));
        addSection(sections, tr("Curl  \u2202Fy/\u2202x \u2212 \u2202Fx/\u2202y"),
                   QStringLiteral("curlText"), printed(analysis.Curl()));
        QStringList jacobian;
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 2; ++column)
                jacobian << QStringLiteral("\u2202F%1/\u2202%2 = %3")
                                .arg(row == 0 ? 'x' : 'y')
                                .arg(column == 0 ? 'x' : 'y')
                                .arg(printed(analysis.Jacobian(row, column)));
        addSection(sections, tr("Jacobian"), QStringLiteral("jacobianText"),
                   jacobian.join(QLatin1Char('\n')));
    } else {
        addSection(sections, tr("Not differentiable"), QStringLiteral("reasonText"),
                   tr("%1 Divergence, curl, the Jacobian and the equilibria need derivatives.")
                       .arg(QString::fromStdString(analysis.Reason())));
    }
    equilibriaList =
        addSection(sections,
                   kind == FieldKind::Acceleration ? tr("Equilibria (acceleration field)")
                                                   : tr("Equilibria (velocity field)"),
                   QStringLiteral("equilibriaText"), QString());
    showEquilibria(equilibria, regionSize);
    sections->addStretch(1);

    auto* scroller = new QScrollArea;
    scroller->setWidget(content);
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setFocusPolicy(Qt::NoFocus); // the keys stay with the view
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
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

QLabel* InfoPanel::addSection(QVBoxLayout* into, const QString& title, const QString& name,
                              const QString& text)
{
    auto* heading = new QLabel(QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped()));
    auto* body = new QLabel(text);
    body->setObjectName(name);
    body->setTextFormat(Qt::PlainText);
    body->setWordWrap(true);
    body->setIndent(8);
    into->addWidget(heading);
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

void InfoPanel::clearValues()
{
    values->setText(tr("Move the pointer over the field."));
}

void InfoPanel::showEquilibria(const std::vector<Equilibrium>& equilibria, double regionSize)
{
    equilibriaList->setText(analysis && analysis->Differentiable()
                                ? describeEquilibria(equilibria, regionSize)
                                : tr("not searched"));
}

void InfoPanel::stopFollowing()
{
    analysis = nullptr;
    view->viewport()->removeEventFilter(this);
}
