// Evaluation runs for every arrow and every particle step: it must not touch the heap.

#include "allocation_counter.h"
#include "test_support.h"

#include <deque>
#include <vector>

// Batches allocate nothing once they have seen their largest size, interval evaluators nothing
// after construction.
TEST(Evaluate, AllocatesNothing)
{
    const char* formulas[] = {
        "-y", "x*y + x", "sin(x)*cos(y)", "x*exp((x*x+y*y)/-4)", "sqrt(x*x+y*y) < 3 ? -y : x",
        "x*x*x - 3*x*y*y + 0.5*x - 0.25*y + 1", "x^2 - y^2",
        "abs(x) > 1 && abs(y) > 1 ? x % 3 : floor(y)", "rand(x) + ~y | !x",
        "x > 0 ? sin(x) * y : cos(y) / x", "ln(abs(x) + 1) * atan(y) / cosh(x)",
        "x < y ? (y > 1 ? ln(y) : sqrt(x)) : exp(-x)",
    };
    const std::size_t largest = 10007;
    std::vector<double> xs(largest), ys(largest), values(largest);
    std::vector<int> errors(largest);
    for (std::size_t i = 0; i < largest; ++i) {
        xs[i] = -5.0 + 10.0 * double(i) / largest;
        ys[i] = 5.0 - double(i % 97) / 9.0;
    }
    double x = 0, y = 0;
    std::deque<FunctionInterpreter> expressions; // a deque never moves what it holds
    std::deque<BatchEvaluator> batches;
    std::deque<IntervalEvaluator> intervals;
    Interval xBox{-1, 2}, yBox{0.5, 0.5};
    for (const char* formula : formulas) {
        FunctionInterpreter& expression = expressions.emplace_back(formula);
        expression.BindValueSlotByName("x", &x);
        expression.BindValueSlotByName("y", &y);
        BatchEvaluator& batch = batches.emplace_back(expression);
        batch.BindColumn("x", xs.data());
        batch.BindColumn("y", ys.data());
        batch.Evaluate(largest, values.data(), errors.data());
        IntervalEvaluator& interval = intervals.emplace_back(expression);
        interval.Bind("x", &xBox);
        interval.Bind("y", &yBox);
    }
    const long before = AllocationCount();
    for (std::size_t i = 0; i + 1 < expressions.size(); ++i) // the last raises on the grid
        for (x = -4.75; x <= 4.75; x += 0.5)
            for (y = -4.75; y <= 4.75; y += 0.5)
                expressions[i].Evaluate();
    for (auto& batch : batches)
        for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(300), largest})
            batch.Evaluate(n, values.data(), errors.data());
    bool mayFail = false;
    for (auto& interval : intervals)
        for (double width : {0.0, 1e-3, 1.0, 100.0}) {
            xBox = {-1.0, -1.0 + width};
            interval.Evaluate(&mayFail);
        }
    EXPECT_EQ(AllocationCount() - before, 0);
}
