#include "function_interpreter.h"
#include "shapesupport.h"

#include <QtTest>

#include <memory>

class BindingTest : public QObject
{
    Q_OBJECT

private slots:
    void slotsByName()
    {
        VariableStore store;
        QSet<double*> fixed;
        for (const char* name :
             {"r0", "s", "t", "u", "v", "w", "x", "y", "z", "r", "theta", "phi", "rho"})
            fixed.insert(store.slotFor(name));
        QCOMPARE(fixed.size(), 13);
        QVERIFY(!fixed.contains(nullptr));
        for (const char* unknown : {"q", "X", "xx", "pq", "", "R0"})
            QCOMPARE(store.slotFor(unknown), nullptr);
        double* partial = store.slotFor("P_x_t");
        for (int i = 0; i < 500; ++i)
            store.slotFor(QString("P%1").arg(i));
        QCOMPARE(store.slotFor("P_x_t"), partial); // inserting names moves no slot
    }

    // At x = 2, y = 1; every other slot holds 0, and a name without a slot fails (code 19).
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
            ExpressionSet set;
            set.setStore(&store);
            std::unique_ptr<FunctionInterpreter> fx(new FunctionInterpreter(c.fx));
            std::unique_ptr<FunctionInterpreter> fy(new FunctionInterpreter(c.fy));
            QCOMPARE(set.addShared(fx.get()), 1);
            QCOMPARE(set.addShared(fy.get()), 2);
            set.bindAll();
            *store.slotFor("x") = 2;
            *store.slotFor("y") = 1;
            auto value = [&](int index) {
                try {
                    return set.valueAt(index);
                } catch (const ParseErrorMsg& error) {
                    return -double(error.code);
                }
            };
            QCOMPARE(value(1), c.valueFx);
            QCOMPARE(value(2), c.valueFy);
            set.clear();
            QCOMPARE(set.add(nullptr, fy.get()), 1);
        }
    }

    // refresh() writes the value of every entry that has a target, in order, so a later entry
    // reads what an earlier one wrote; entries without a target are left alone.
    void refreshWritesTargets()
    {
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
    }
};

QTEST_MAIN(BindingTest)
#include "test_binding.moc"
