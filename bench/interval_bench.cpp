// What one enclosure costs: IntervalEvaluator::Evaluate over boxes of side 0.1 spread over the
// region -5 … 5, beside the scalar evaluation at a point of the same formula, for fields as
// users type them and for an exact Jacobian entry built by the engine. A search that subdivides
// the region evaluates Fx, Fy and four Jacobian entries per box.

#include "engine.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kFormulas[] = {
    "-y",
    "x*y + x",
    "sin(x)*cos(y)",
    "x*exp((x*x+y*y)/-4)",
    "sqrt(x*x+y*y) < 3 ? -y : x",
    "x^3 - 3*x^2 + 3*x - 1",
    "exp(20*x) - 1",
    "-y + x*(x^2 + y^2)",
    "x * (1 + 0.01*sin(x*y + 1)) * (1 + 0.01*sin(x*y + 2)) * (1 + 0.01*sin(x*y + 3))",
};

// The formula, or its exact derivative by x, with x and y read from slots of its own.
struct Field
{
    explicit Field(const char* text, bool derived)
    {
        if (derived) {
            const FunctionInterpreter source(text);
            formula = std::make_unique<FunctionInterpreter>(source.Derivative("x", nullptr));
        } else {
            formula = std::make_unique<FunctionInterpreter>(text);
        }
        formula->BindValueSlotByName("x", &x);
        formula->BindValueSlotByName("y", &y);
    }
    double x = 0;
    double y = 0;
    std::unique_ptr<FunctionInterpreter> formula;
};

// 256 boxes of side 0.1 at random places of the region, the same for every formula.
std::vector<Interval> Boxes()
{
    std::mt19937 random(5);
    std::uniform_real_distribution<double> corner(-5.0, 4.9);
    std::vector<Interval> boxes(256);
    for (Interval& box : boxes) {
        const double lo = corner(random);
        box = {lo, lo + 0.1};
    }
    return boxes;
}

void Enclose(benchmark::State& state, const char* text, bool derived)
{
    Field field(text, derived);
    IntervalEvaluator evaluator(*field.formula);
    const std::vector<Interval> boxes = Boxes();
    Interval xBox{}, yBox{};
    evaluator.Bind("x", &xBox);
    evaluator.Bind("y", &yBox);
    std::size_t i = 0;
    bool mayFail = false;
    for (auto _ : state) {
        xBox = boxes[i % boxes.size()];
        yBox = boxes[(i + 7) % boxes.size()];
        ++i;
        benchmark::DoNotOptimize(evaluator.Evaluate(&mayFail));
    }
}

// The tree's own evaluation at one point, for scale.
void AtPoint(benchmark::State& state, const char* text, bool derived)
{
    Field field(text, derived);
    const std::vector<Interval> boxes = Boxes();
    std::size_t i = 0;
    for (auto _ : state) {
        field.x = boxes[i % boxes.size()].lo;
        field.y = boxes[(i + 7) % boxes.size()].lo;
        ++i;
        try {
            benchmark::DoNotOptimize(field.formula->Evaluate());
        } catch (const ParseErrorMsg&) {
            // a point where the formula fails
        }
    }
}

void Register()
{
    for (const char* text : kFormulas)
        for (bool derived : {false, true}) {
            const std::string name = derived ? std::string("d/dx ") + text : std::string(text);
            benchmark::RegisterBenchmark(("Enclose/" + name).c_str(), Enclose, text, derived);
            benchmark::RegisterBenchmark(("AtPoint/" + name).c_str(), AtPoint, text, derived);
        }
}

} // namespace

int main(int argc, char** argv)
{
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
