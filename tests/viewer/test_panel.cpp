// The information panel writes mathematics: formulas typeset as people write them, each copied
// in the formula language that the program reads back as the same formula, numbers exact where
// they are simple, the same items in the same order as ever, and no formula too deep for it.

#include "engine.h"
#include "field_analysis.h"
#include "field_model.h"
#include "formula_label.h"
#include "info_panel.h"
#include "typeset_formula.h"
#include "viewer_test_support.h"

#include <QAction>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QLayout>
#include <QScrollArea>

#include <cmath>
#include <memory>
#include <optional>

namespace {

// The formula labels in the order the panel lists them.
const char* const kFormulaNames[] = {"fx",          "fy",          "divergence",  "curl",
                                     "jacobianFxx", "jacobianFxy", "jacobianFyx", "jacobianFyy"};

struct Panel : FieldWindow
{
    explicit Panel(const QString& fx, const QString& fy) : FieldWindow(fx, fy)
    {
        QVERIFY(ready && QTest::qWaitForWindowExposed(&window));
        key(Qt::Key_I);
    }
    InfoPanel* panel() const { return window.findChild<InfoPanel*>(); }
    FormulaLabel* formula(const char* name) const { return window.findChild<FormulaLabel*>(name); }
    // What the panel lists, in order: headings in bold, formulas by their names, other texts by
    // their object names; only what shows.
    QStringList items() const
    {
        QList<QWidget*> widgets;
        const auto collect = [&widgets](QLayout* layout, const auto& self) -> void {
            for (int i = 0; i < layout->count(); ++i) {
                if (QWidget* widget = layout->itemAt(i)->widget()) widgets << widget;
                if (QLayout* inner = layout->itemAt(i)->layout()) self(inner, self);
            }
        };
        collect(panel()->findChild<QScrollArea*>()->widget()->layout(), collect);
        collect(panel()->layout(), collect);
        QStringList listed;
        for (QWidget* widget : widgets) {
            if (widget->isHidden()) continue;
            if (auto* formula = qobject_cast<FormulaLabel*>(widget))
                listed << "formula " + formula->objectName();
            else if (auto* label = qobject_cast<QLabel*>(widget))
                listed << (label->objectName().isEmpty() ? label->text() : label->objectName());
        }
        return listed;
    }
};

// A compiled formula whose x and y the test sets; other names read 0, as the window's fixed
// names do.
struct Bound
{
    std::unique_ptr<FunctionInterpreter> formula;
    double x = 0, y = 0, other = 0;

    explicit Bound(FunctionInterpreter* adopted) : formula(adopted)
    {
        for (int i = 0; i < formula->VariableCount(); ++i) {
            const QString name = formula->VariableName(i);
            formula->BindValueSlot(i, name == "x" ? &x : name == "y" ? &y : &other);
        }
    }
    std::optional<double> at(double atX, double atY)
    {
        x = atX;
        y = atY;
        try {
            return formula->Evaluate();
        } catch (const ParseErrorMsg&) {
            return std::nullopt;
        }
    }
};

// Whether `copied` reads back as `formula`: equal, or within 1e-12 of the larger value (or 1),
// or failing both, over a grid; else `where` says where not.
bool readsBack(const FunctionInterpreter& formula, const QString& copied, QString& where)
{
    Bound original(new FunctionInterpreter(formula.CopyTree()));
    Bound back(new FunctionInterpreter(copied.toUtf8().constData()));
    for (double x = -4.3; x < 5; x += 0.7) {
        for (double y = -4.1; y < 5; y += 0.9) {
            const std::optional<double> u = original.at(x, y), v = back.at(x, y);
            const bool same =
                u && v ? *u == *v || std::abs(*u - *v) <=
                                         1e-12 * std::max({1.0, std::abs(*u), std::abs(*v)})
                       : !u && !v;
            if (!same) {
                where = QStringLiteral("(%1, %2): %3 against %4")
                            .arg(x)
                            .arg(y)
                            .arg(u ? QString::number(*u, 'g', 17) : "failure")
                            .arg(v ? QString::number(*v, 'g', 17) : "failure");
                return false;
            }
        }
    }
    return true;
}

QString nested(const QString& head, const QString& tail, int depth)
{
    return head.repeated(depth) + "x" + tail.repeated(depth);
}

} // namespace

class PanelTest : public QObject
{
    Q_OBJECT

private slots:
    // The fields of the README and the issue's: collected, with the minus sign, superscripts,
    // juxtaposition, lower-case functions and exact fractions.
    void formulasReadAsPeopleWriteThem()
    {
        const std::tuple<const char*, const char*, const char*, QString> cases[] = {
            {"-y", "x", "curl", "2"},
            {"x*(3 - x - 2*y)", "y*(2 - x - y)", "fx", "Fx = 3x − x² − 2xy"},
            {"x*(3 - x - 2*y)", "y*(2 - x - y)", "divergence", "5 − 3x − 4y"},
            {"x*(3 - x - 2*y)", "y*(2 - x - y)", "jacobianFxx", "∂Fx/∂x = 3 − 2x − 2y"},
            {"y", "(1 - x^2)*y - x", "curl", "−2xy − 2"},
            {"y", "(1 - x^2)*y - x", "jacobianFyy", "∂Fy/∂y = 1 − x²"},
            {"sin(x)*cos(y)", "x*x*x - 3*x*y*y", "fx", "Fx = sin x cos y"},
            {"sin(x)*cos(y)", "x*x*x - 3*x*y*y", "fy", "Fy = x³ − 3xy²"},
            {"y", "-SIN(x)", "curl", "−cos x − 1"},
            {"EXP(x/3)", "y", "jacobianFxx", "∂Fx/∂x = exp(x/3)/3"},
            {"x/(1 + y^2)", "SQRT(x^2 + y^2)", "jacobianFyx", "∂Fy/∂x = x/√(x² + y²)"},
        };
        for (const auto& [fx, fy, name, expected] : cases) {
            Panel p(fx, fy);
            QCOMPARE(p.text(name), expected);
            QVERIFY(p.formula(name)->typeset());
        }
    }

    // Coordinates and eigenvalues exact where they are simple, with their decimals.
    void equilibriaExactWhereSimple()
    {
        const std::tuple<const char*, const char*, QString> cases[] = {
            {"x*(3 - x - 2*y)", "y*(2 - x - y)",
             "(1, 1)  saddle\n    λ = −1 + √2 ≈ 0.4142\n    λ = −1 − √2 ≈ −2.414"},
            {"3*x - 1", "y", "(1/3 ≈ 0.3333, 0)  unstable node\n    λ = 3, 1"},
            {"y", "(1 - x^2)*y - x",
             "(0, 0)  unstable spiral\n    λ = 0.5 ± (√3/2)i ≈ 0.5 ± 0.866i"},
            {"y", "-SIN(x)", "(−π ≈ −3.142, 0)  saddle\n    λ = 1, −1"},
        };
        for (const auto& [fx, fy, expected] : cases) {
            Panel p(fx, fy);
            QTRY_VERIFY2(p.text("equilibriaText").contains(expected),
                         qPrintable(p.text("equilibriaText")));
        }
    }

    // Each formula's copy action puts on the clipboard what the program reads back as the
    // formula shown: the field's own, and the derivatives of the analysis.
    void copiesReadBackAsTheSameFormula()
    {
        const std::pair<const char*, const char*> fields[] = {
            {"x*(3 - x - 2*y)", "y*(2 - x - y)"},
            {"y", "(1 - x^2)*y - x"},
            {"sin(x)*cos(y)", "x*x*x - 3*x*y*y"},
            {"x/(1 + y^2) + EXP(-x/3)*SQRT(x^2 + y^2)", "LN(x + 5)/(x*x - y) + y^3/7"},
            {"ATAN(x*y)/PI + 0.1*x", "(x + y)^3 - 2^x"},
        };
        for (const auto& [fx, fy] : fields) {
            Panel p(fx, fy);
            FieldModel* model = p.window.field();
            const FieldAnalysis analysis(model->Fx(), model->Fy());
            const FunctionInterpreter* shown[] = {&model->Fx(),
                                                  &model->Fy(),
                                                  analysis.DivergenceExpression(),
                                                  analysis.CurlExpression(),
                                                  analysis.JacobianExpression(0, 0),
                                                  analysis.JacobianExpression(0, 1),
                                                  analysis.JacobianExpression(1, 0),
                                                  analysis.JacobianExpression(1, 1)};
            for (int i = 0; i < 8; ++i) {
                FormulaLabel* label = p.formula(kFormulaNames[i]);
                QApplication::clipboard()->clear();
                label->actions().value(0)->trigger();
                const QString copied = QApplication::clipboard()->text();
                QCOMPARE(copied, label->ascii());
                QString where;
                QVERIFY2(readsBack(*shown[i], copied, where),
                         qPrintable(QStringLiteral("%1 of %2, %3 copied as %4 at %5")
                                        .arg(kFormulaNames[i], fx, fy, copied, where)));
            }
        }
    }

    // The panel of a field lists what it always listed, in the same order, and the limit cycles
    // of a velocity field after its equilibria; a count of the grid points without a value comes
    // after the formulas only where some have none.
    void sameItemsInTheSameOrder()
    {
        QStringList designed = {"<b>Field</b>",
                                "formula fx",
                                "formula fy",
                                "<b>Divergence  ∂Fx/∂x + ∂Fy/∂y</b>",
                                "formula divergence",
                                "<b>Curl  ∂Fy/∂x − ∂Fx/∂y</b>",
                                "formula curl",
                                "<b>Jacobian</b>",
                                "formula jacobianFxx",
                                "formula jacobianFxy",
                                "formula jacobianFyx",
                                "formula jacobianFyy",
                                "<b>Equilibria (velocity field)</b>",
                                "equilibriaText",
                                "<b>Limit cycles</b>",
                                "cyclesText",
                                "<b>Under the pointer</b>",
                                "pointerText"};
        QCOMPARE(Panel("-y", "x").items(), designed);

        Panel partly("SQRT(x)", "y");
        designed.insert(3, "unevaluatedText");
        QCOMPARE(partly.items(), designed);
        QCOMPARE(partly.text("unevaluatedText"),
                 QString("200 of the 400 grid points could not be evaluated: they have no arrow."));
    }

    // Stacked fractions where the width allows, lines broken before operators where it does not,
    // a fraction too wide for a line on one line.
    void typesetWithinTheWidth()
    {
        FunctionInterpreter formula("x/(1 + y^2) + y/(1 + x^2) + EXP(x/3)*SIN(y) + x^2/(x^2 + y)");
        FormulaLabel label("Fx = ", formula);
        const TypesetFormula* typeset = label.typeset();
        QVERIFY(typeset);
        const qreal natural = typeset->naturalWidth();
        const qreal lineHeight = QFontMetricsF(label.font()).height();
        QCOMPARE(typeset->lineCountWithin(natural), 1);
        QCOMPARE(typeset->stackedFractionsWithin(natural), 3);
        const qreal stackedHeight = typeset->sizeWithin(natural).height();
        QVERIFY(stackedHeight > 1.8 * lineHeight);

        // Narrower: more lines, each within the width, the fractions still stacked.
        const int slightlyNarrower = int(natural) - 1, muchNarrower = int(0.4 * natural);
        QVERIFY(typeset->lineCountWithin(slightlyNarrower) > 1);
        QVERIFY(typeset->lineCountWithin(muchNarrower) >
                typeset->lineCountWithin(slightlyNarrower));
        for (const int width : {slightlyNarrower, muchNarrower}) {
            QVERIFY(typeset->sizeWithin(width).width() <= width);
            QCOMPARE(typeset->stackedFractionsWithin(width), 3);
            QCOMPARE(label.heightForWidth(width + 8),
                     int(std::ceil(typeset->sizeWithin(width).height())));
        }
        // Narrower than a fraction: that one goes on one line, x/(y² + 1).
        QVERIFY(typeset->stackedFractionsWithin(0.15 * natural) < 3);
    }

    // The deepest formulas the engine accepts show as it prints them and are copied so, in the
    // panel of a window and alone, derivatives too; at the depth where typesetting ends they are
    // still typeset, under the sanitizers too.
    void deepestFormulasShowAsPrinted()
    {
        QString where;
        // Fields whose equilibria are quickly found, or not searched at all.
        for (const char* head : {"NEG(", "!("}) {
            Panel p(nested(head, ")", kMaxNestingDepth), "y");
            FormulaLabel* label = p.formula("fx");
            QVERIFY(label && !label->typeset() && label->text().startsWith("Fx = "));
            QVERIFY2(readsBack(p.window.field()->Fx(), label->ascii(), where), qPrintable(where));
        }
        for (const int depth : {kMaxNestingDepth, 100}) {
            for (const char* head : {"SIN(", "(x^", "(1/", "NEG(", "!("}) {
                const FunctionInterpreter formula(nested(head, ")", depth).toUtf8().constData());
                const FormulaLabel label("Fx = ", formula);
                QCOMPARE(!label.typeset(), depth > 100);
                QVERIFY2(readsBack(formula, label.ascii(), where),
                         qPrintable(head + (": " + where)));
            }
        }
        const FunctionInterpreter zero("0");
        for (const int depth : {kMaxNestingDepth, 100}) {
            const FunctionInterpreter formula(nested("SIN(", ")", depth).toUtf8().constData());
            const FieldAnalysis analysis(formula, zero);
            const FormulaLabel label("", *analysis.JacobianExpression(0, 0));
            QVERIFY(!label.typeset()); // too deep or, as a product of a hundred cosines, too long
            QVERIFY(label.text().endsWith(" characters in all)"));
        }
    }
};

QTEST_MAIN(PanelTest)
#include "test_panel.moc"
