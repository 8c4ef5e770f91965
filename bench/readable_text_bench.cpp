// What the information panel's readable texts cost: the eight formulas of a field (Fx, Fy,
// divergence, curl, the Jacobian), the numbers of its equilibria, and formulas far larger than
// people type, where expansion and layout grow with the text.

#include "engine.h"
#include "field_analysis.h"
#include "readable_number.h"
#include "readable_text.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// The field's own formulas and every derived one, as the panel lists them.
std::vector<const FunctionInterpreter*> PanelFormulas(const FunctionInterpreter& fx,
                                                      const FunctionInterpreter& fy,
                                                      const FieldAnalysis& analysis)
{
    std::vector<const FunctionInterpreter*> formulas{&fx, &fy, analysis.DivergenceExpression(),
                                                     analysis.CurlExpression()};
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column)
            formulas.push_back(analysis.JacobianExpression(row, column));
    return formulas;
}

void PanelTexts(benchmark::State& state, const char* fxText, const char* fyText)
{
    const FunctionInterpreter fx(fxText);
    const FunctionInterpreter fy(fyText);
    const FieldAnalysis analysis(fx, fy);
    const auto formulas = PanelFormulas(fx, fy, analysis);
    std::size_t characters = 0;
    for (auto _ : state) {
        characters = 0;
        for (const FunctionInterpreter* formula : formulas)
            characters += ReadableText(*formula).size() + ReadableAscii(*formula).size();
    }
    state.counters["characters"] = static_cast<double>(characters);
}
BENCHMARK_CAPTURE(PanelTexts, flow, "sin(x)*cos(y)", "x*x*x - 3*x*y*y")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(PanelTexts, competition, "x*(3 - x - 2*y)", "y*(2 - x - y)")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(PanelTexts, quotient, "x/(x^2 + y^2)^2", "y*exp((x^2 + y^2)/-3)")
    ->Unit(benchmark::kMicrosecond);

// Coordinates and eigenvalue parts: exact ones, and ones that run through every search.
void EquilibriumNumbers(benchmark::State& state)
{
    const double values[] = {0,    1.0 / 3,   1 + std::sqrt(2.0), 3.141592653589793,
                             -2.5, 0.7390851, 1.2345678e-7,       -4.0 / 7};
    std::size_t characters = 0;
    for (auto _ : state) {
        characters = 0;
        for (const double value : values)
            characters += ReadableNumber(value).size() + ReadableNumberAscii(value).size();
    }
    state.counters["numbers"] = static_cast<double>(std::size(values));
}
BENCHMARK(EquilibriumNumbers)->Unit(benchmark::kMicrosecond);

// The divergence of (sin(sin(… sin(x) …)), 0), n deep: a product of n cosines of nested sines,
// text quadratic in n.
void NestedDerivative(benchmark::State& state)
{
    std::string nested = "x";
    for (int i = 0; i < state.range(0); ++i)
        nested = "sin(" + nested + " + 1)";
    const FunctionInterpreter fx(nested.c_str());
    const FunctionInterpreter fy("0");
    const FieldAnalysis analysis(fx, fy);
    std::size_t characters = 0;
    for (auto _ : state)
        characters = ReadableText(*analysis.DivergenceExpression()).size();
    state.counters["characters"] = static_cast<double>(characters);
}
BENCHMARK(NestedDerivative)->Arg(25)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);

// The largest expansion that is still made: 40 terms.
void LargestExpansion(benchmark::State& state)
{
    const FunctionInterpreter formula("(x + y)^39");
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadableText(formula));
}
BENCHMARK(LargestExpansion)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
