// The proven equilibria search (FieldAnalysis::FindEquilibria) on every field of the tests and
// the README, over -5 … 5: goal at most 100 ms each; the fields of the faults the search was
// rebuilt for at most 300 ms; none beyond its time limit of 1 s. Counters: the entries, and
// whether the list is complete.

#include "field_analysis.h"
#include "field_formulas.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

struct Field
{
    std::string fx;
    std::string fy;
    FieldKind kind = FieldKind::Velocity;
};

// x times `count` factors 1 + 0.01 sin(xy + k): each evaluation costs as much as the factors.
std::string Product(int count)
{
    std::string formula = "x";
    for (int k = 1; k <= count; ++k)
        formula += " * (1 + 0.01*sin(x*y + " + std::to_string(k) + "))";
    return formula;
}

const FieldKind kAcceleration = FieldKind::Acceleration;

// The fields of the tests (analysis and viewer) and of the README.
const std::vector<Field> kTestFields = {
    {"x", "0 - y"},
    {"y - 1", "1 - x"},
    {"y - x", "0 - y"},
    {"y - x", "0 - y", kAcceleration},
    {"x - 2", "2 * y + 3"},
    {"y - x", "0 - x - y"},
    {"x + y", "y - x - 4"},
    {"y", "NEG(sin(x))"},
    {"x * (3 - x - 2 * y)", "y * (2 - x - y)"},
    {"x * x - 0.00000025", "y"},
    {"(x - 1) ^ 8", "y"},
    {"x ^ 3 - 3 * x ^ 2 + 3 * x - 1", "y"},
    {"x - 5", "y + 5"},
    {"sin(2 * PI * x)", "y"},
    {"sin(2 * PI * x)", "sin(2 * PI * y)"},
    {"sqrt(x) - 1", "ln(y)"},
    {"tan(x)", "-y"},
    {"x + sqrt(y ^ 4)", "y"},
    {"x * x + 1", "y"},
    {"exp(x)", "y"},
    {"x * x + y * y - 4", "0"},
    {"x + y", "2 * x + 2 * y"},
    {"(x - 1) * (y + 2)", "0"},
    {"0", "0"},
    {"sin(x) * cos(y)", "(x - 1) ^ 2 * 0"},
    {"sin(x) * cos(y)", "x * x * x - 3 * x * y * y"},
    {"-y + x*x - x*y", "x + 0.5*x*y + y*y"},
    {"y", "-x - x*x*y"},
    {"x*y", "x - y"},
    {"x*x - 1 + y", "y"},
    {"-x - 2*y + x*x*x/100", "2*x - y"},
    {"-y", "x"},
    {"x*y", "SQRT(y)", kAcceleration},
    {"y", "(1 - x^2)*y - x"},
    {"x*(1 - x^2 - y^2) - y", "y*(1 - x^2 - y^2) + x"},
    {"y", "x - x^3"},
    {"x^60", "y"},
    {"y / x", "x - LN(y * y)", kAcceleration},
    {Product(60), "y"},
};

// The fields of the faults: false zeros, wrong kinds, missed and doubled zeros, jumps, cost.
const std::vector<Field> kFaultFields = {
    {"exp(20*x) - 1", "y"},
    {"x*x + 1e-7", "y"},
    {"x*x - y*y", "2*x*y"},
    {"x + 20000*y", "y"},
    {"x*y", "0"},
    {"x^3 - 3*x^2 + 3*x - 1", "y^3"},
    {"x*x*(x - 0.01)", "y"},
    {"sin(16*x)", "y"},
    {"sqrt(x)", "y"},
    {"-x + y", "-y", kAcceleration},
    {"-y + x*(x^2 + y^2)", "x + y*(x^2 + y^2)"},
    {"1e200*(x - 1)", "y"},
    {Product(90), "y"},
};

void Search(benchmark::State& state, const Field& field)
{
    FieldFormulas formulas(field.fx.c_str(), field.fy.c_str());
    const FieldAnalysis analysis(formulas.fx, formulas.fy);
    EquilibriumSearch found;
    for (auto _ : state)
        found = analysis.FindEquilibria(Region{-5, 5, -5, 5}, field.kind);
    state.counters["entries"] = double(found.entries.size());
    state.counters["complete"] = found.complete;
}

void Register(const char* group, const std::vector<Field>& fields)
{
    for (const Field& field : fields) {
        std::string name = std::string(group) + "/" + field.fx.substr(0, 40) + ", " + field.fy;
        if (field.kind == kAcceleration) name += " (x'')";
        benchmark::RegisterBenchmark(name.c_str(), Search, field)->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    Register("Tests", kTestFields);
    Register("Faults", kFaultFields);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
