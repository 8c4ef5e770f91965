// Evaluation runs for every arrow and every particle step: it must not touch the heap.

#include "allocation_counter.h"
#include "test_support.h"

#include <cmath>

namespace {

TEST(Evaluate, AllocatesNothing)
{
    const char* formulas[] = {"-y",
                              "x*y + x",
                              "sin(x)*cos(y)",
                              "x*exp((x*x+y*y)/-4)",
                              "sqrt(x*x+y*y) < 3 ? -y : x",
                              "x*x*x - 3*x*y*y + 0.5*x - 0.25*y + 1",
                              "x^2 - y^2",
                              "abs(x) > 1 && abs(y) > 1 ? x % 3 : floor(y)",
                              "rand(x) + ~y | !x",
                              "ln(abs(x) + 1) * atan(y) / cosh(x)"};
    double x = 0;
    double y = 0;
    std::vector<std::unique_ptr<FunctionInterpreter>> expressions;
    for (const char* formula : formulas) {
        expressions.push_back(std::make_unique<FunctionInterpreter>(formula));
        expressions.back()->BindValueSlotByName("x", &x);
        expressions.back()->BindValueSlotByName("y", &y);
    }
    const long before = AllocationCount();
    double sum = 0;
    for (auto& expression : expressions)
        for (x = -4.75; x <= 4.75; x += 0.5)
            for (y = -4.75; y <= 4.75; y += 0.5)
                sum += expression->Evaluate();
    EXPECT_EQ(AllocationCount() - before, 0);
    EXPECT_TRUE(std::isfinite(sum));
}

} // namespace
