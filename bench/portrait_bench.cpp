// The phase portrait over -5 … 5: both nullclines on the grid a 1280-pixel view gets (goal: at
// most 20 ms), one solution curve across the region (5 ms), the separatrices of all saddles
// (20 ms, the search for the saddles included) and the limit cycles (200 ms, the search for the
// equilibria included).

#include "engine.h"
#include "field_analysis.h"
#include "field_formulas.h"

#include <benchmark/benchmark.h>

#include <string>
#include <tuple>

namespace {

constexpr double kMin = -5;
constexpr double kMax = 5;

struct Field
{
    const char* name;
    const char* fx;
    const char* fy;
};

const Field kFields[] = {
    {"van der Pol", "y", "(1 - x^2)*y - x"},
    {"circle cycle", "x*(1 - x^2 - y^2) - y", "y*(1 - x^2 - y^2) + x"},
    {"competition", "x*(3 - x - 2*y)", "y*(2 - x - y)"},
    {"(-y, x)", "-y", "x"},
    {"cubic", "sin(x)*cos(y)", "x*x*x - 3*x*y*y"},
    {"pendulum", "y", "-sin(x)"},
    {"double well", "y", "x - x^3"},
};

// The formulas bound as the viewer binds them, and their analysis.
struct Portrait
{
    explicit Portrait(const Field& field) : formulas(field.fx, field.fy) {}
    FieldFormulas formulas;
    FieldAnalysis analysis{formulas.fx, formulas.fy};
};

// Runs `work` on the field's analysis again and again; `what` counts what the last run gave.
template <typename Work>
void Measure(benchmark::State& state, const Field& field, const char* what, Work work)
{
    const Portrait portrait(field);
    std::size_t count = 0;
    for (auto _ : state)
        count = work(portrait.analysis);
    state.counters[what] = static_cast<double>(count);
}

template <typename Work>
void Add(const std::string& name, const Field& field, const char* what, Work work)
{
    benchmark::RegisterBenchmark(name.c_str(), [&field, what, work](benchmark::State& state) {
        Measure(state, field, what, work);
    })->Unit(benchmark::kMillisecond);
}

void Register()
{
    for (const Field& field : kFields) {
        const std::string name = std::string("/") + field.name;
        Add("Nullclines" + name, field, "polylines", [](const FieldAnalysis& a) {
            return a.Nullcline(0, kMin, kMax, kMin, kMax).size() +
                   a.Nullcline(1, kMin, kMax, kMin, kMax).size();
        });
        Add("Separatrices" + name, field, "branches",
            [](const FieldAnalysis& a) { return a.Separatrices(kMin, kMax, kMin, kMax).size(); });
        Add("LimitCycles" + name, field, "cycles",
            [](const FieldAnalysis& a) { return a.LimitCycles(kMin, kMax, kMin, kMax).size(); });
        // What the two before spend on finding the equilibria first.
        Add("EquilibriumSearch" + name, field, "equilibria", [](const FieldAnalysis& a) {
            return a.Equilibria(kMin, kMax, kMin, kMax, false).size();
        });
    }
    // A click's solution, as the window would ask: out to the cycle and three times round; over
    // the top; across from one side to the other.
    const std::tuple<const Field*, double, double, double> curves[] = {
        {&kFields[0], 0.1, 0.0, 20.0},
        {&kFields[5], -5.0, 2.0, 100.0},
        {&kFields[4], -4.5, 0.3, 100.0}};
    for (const auto& [field, x0, y0, duration] : curves) {
        Add(std::string("SolutionCurve/") + field->name, *field, "samples",
            [x0 = x0, y0 = y0, duration = duration](const FieldAnalysis& a) {
                return a.Solve(x0, y0, duration, kMin, kMax, kMin, kMax).t.size();
            });
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
