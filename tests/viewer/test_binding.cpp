#include "function_interpreter.h"
#include "shapesupport.h"

#include <QtTest>

class BindingTest : public QObject
{
    Q_OBJECT

private slots:
    // Compiled formulas keep slot addresses: every known name has its own, and adding names
    // moves none.
    void slotsByName()
    {
        VariableStore store;
        QSet<double*> fixed;
        for (const char* name :
             {"r0", "s", "t", "u", "v", "w", "x", "y", "z", "r", "theta", "phi", "rho"})
            fixed.insert(store.slotFor(name));
        QVERIFY(fixed.size() == 13 && !fixed.contains(nullptr));
        for (const char* unknown : {"q", "X", "xx", "pq", "", "R0"})
            QCOMPARE(store.slotFor(unknown), nullptr);
        double* partial = store.slotFor("P_x_t");
        for (int i = 0; i < 500; ++i)
            store.slotFor(QString("P%1").arg(i));
        QCOMPARE(store.slotFor("P_x_t"), partial);
    }

    // At x = 2, y = 1: other slots hold 0, a name without a slot fails (code 19), and refresh
    // writes its targets in order, so a later entry reads what an earlier one wrote.
    void formulasShareTheStore()
    {
        const struct
        {
            const char *fx, *fy;
            double valueFx, valueFy;
        } cases[] = {{"x + y", "x - y", 3, 1},
                     {"t + 1", "Pq + theta * x", 1, 0},
                     {"q", "y * X", -19, -19},
                     {"x > 2 ? q : 1", "x*x", 1, 4}};
        for (const auto& c : cases) {
            VariableStore store;
            ExpressionSet set; // as the window sets it up
            set.setStore(&store);
            FunctionInterpreter fx(c.fx), fy(c.fy);
            QCOMPARE(set.addShared(&fx), 1);
            QCOMPARE(set.addShared(&fy), 2);
            set.bindAll();
            *store.slotFor("x") = 2;
            *store.slotFor("y") = 1;
            const std::pair<int, double> values[] = {{1, c.valueFx}, {2, c.valueFy}};
            for (const auto& [index, expected] : values) {
                try {
                    QCOMPARE(set.valueAt(index), expected);
                } catch (const ParseErrorMsg& error) {
                    QCOMPARE(-double(error.code), expected);
                }
            }
        }
        VariableStore store;
        ExpressionSet set(&store);
        FunctionInterpreter first("x + 1"), second("r * 10"), third("1/(x - 2)");
        set.add(store.slotFor("r"), &first);
        const int untargeted = set.addShared(&third);
        double written = 0;
        set.add(&written, &second);
        set.bindAll();
        *store.slotFor("x") = 2;
        set.refresh();
        QCOMPARE(*store.slotFor("r"), 3.0);
        QCOMPARE(written, 30.0);
        QVERIFY_EXCEPTION_THROWN(set.valueAt(untargeted), ParseErrorMsg);
        set.clear();
        QCOMPARE(set.add(nullptr, &first), 1); // index 0 stays reserved
    }
};

QTEST_MAIN(BindingTest)
#include "test_binding.moc"
