#include "function_interpreter.h"
#include "shapesupport.h"

#include <QtTest>

class BindingTest : public QObject
{
    Q_OBJECT

private slots:
    // Slots never move under compiled formulas; unset names read 0, unknown ones fail (19).
    void formulasShareTheStore()
    {
        VariableStore names;
        for (const char* unknown : {"q", "X", "xx", "pq", "", "R0"})
            QCOMPARE(names.slotFor(unknown), nullptr);
        double* partial = names.slotFor("P_x_t");
        for (int i = 0; i < 500; ++i)
            names.slotFor(QString("P%1").arg(i));
        QCOMPARE(names.slotFor("P_x_t"), partial);

        const std::tuple<const char*, const char*, double, double> cases[] = {
            {"x + y", "x - y", 3, 1},
            {"t + 1", "Pq + theta * x", 1, 0},
            {"q", "y * X", -19, -19},
            {"x > 2 ? q : 1", "x*x", 1, 4}}; // q is never evaluated
        for (const auto& [fx, fy, valueFx, valueFy] : cases) {
            VariableStore store;
            ExpressionSet set(&store);
            FunctionInterpreter x(fx), y(fy);
            const std::pair<int, double> expected[] = {{set.addShared(&x), valueFx},
                                                       {set.addShared(&y), valueFy}};
            set.bindAll();
            *store.slotFor("x") = 2;
            *store.slotFor("y") = 1;
            for (const auto& [index, value] : expected) {
                try {
                    QCOMPARE(set.valueAt(index), value);
                } catch (const ParseErrorMsg& error) {
                    QCOMPARE(-double(error.code), value);
                }
            }
        }
    }
};

QTEST_MAIN(BindingTest)
#include "test_binding.moc"
