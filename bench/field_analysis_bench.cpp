// What pressing E and D costs in the field window: building the analysis, finding the
// equilibria and evaluating a divergence map over the region, for the field
// sin(x)*cos(y), x*x*x - 3*x*y*y over -5 … 5 (goal: all three together at most 100 ms).

#include "engine.h"
#include "field_analysis.h"

#include <benchmark/benchmark.h>

namespace {

constexpr const char* kFx = "sin(x)*cos(y)";
constexpr const char* kFy = "x*x*x - 3*x*y*y";
constexpr double kMin = -5;
constexpr double kMax = 5;

// The formulas as the viewer holds them: bound to value slots of the caller's.
struct Formulas
{
    Formulas() : fx(kFx), fy(kFy)
    {
        for (FunctionInterpreter* f : {&fx, &fy}) {
            f->BindValueSlotByName("x", &x);
            f->BindValueSlotByName("y", &y);
        }
    }
    double x = 0;
    double y = 0;
    FunctionInterpreter fx;
    FunctionInterpreter fy;
};

// A side × side map of the divergence over the region, as the viewer would draw it.
double DivergenceMap(const FieldAnalysis& analysis, int side)
{
    double sum = 0;
    for (int i = 0; i < side; ++i) {
        for (int k = 0; k < side; ++k) {
            const double x = kMin + (kMax - kMin) * (i + 0.5) / side;
            const double y = kMin + (kMax - kMin) * (k + 0.5) / side;
            try {
                sum += analysis.DivergenceAt(x, y);
            } catch (const ParseErrorMsg&) {
                // a transparent point
            }
        }
    }
    return sum;
}

void BuildAnalysis(benchmark::State& state)
{
    const Formulas formulas;
    for (auto _ : state) {
        FieldAnalysis analysis(formulas.fx, formulas.fy);
        benchmark::DoNotOptimize(analysis.Differentiable());
    }
}
BENCHMARK(BuildAnalysis)->Unit(benchmark::kMicrosecond);

void FindEquilibria(benchmark::State& state)
{
    const Formulas formulas;
    const FieldAnalysis analysis(formulas.fx, formulas.fy);
    size_t count = 0;
    for (auto _ : state)
        count = analysis.Equilibria(kMin, kMax, kMin, kMax, false).size();
    state.counters["equilibria"] = static_cast<double>(count);
}
BENCHMARK(FindEquilibria)->Unit(benchmark::kMillisecond);

void DivergenceMapOf(benchmark::State& state)
{
    const Formulas formulas;
    const FieldAnalysis analysis(formulas.fx, formulas.fy);
    const int side = static_cast<int>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(DivergenceMap(analysis, side));
    state.counters["points"] = side * side;
}
BENCHMARK(DivergenceMapOf)->Arg(128)->Arg(256)->Arg(512)->Unit(benchmark::kMillisecond);

// Everything the window does when both keys are pressed, with a 256 × 256 map.
void AllTogether(benchmark::State& state)
{
    const Formulas formulas;
    for (auto _ : state) {
        const FieldAnalysis analysis(formulas.fx, formulas.fy);
        benchmark::DoNotOptimize(analysis.Equilibria(kMin, kMax, kMin, kMax, false));
        benchmark::DoNotOptimize(DivergenceMap(analysis, 256));
    }
}
BENCHMARK(AllTogether)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
