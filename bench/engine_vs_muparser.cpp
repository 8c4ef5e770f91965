// One evaluation of a formula in nanoseconds: this engine, muparser (the widely used bytecode
// evaluator) and the formula written as plain C++, on the same inputs in one run. Also the cost of
// compiling a formula. Prints a table; `--quick` runs every measurement once, for a smoke test.

#include "allocation_counter.h"
#include "engine.h"

#include <muParser.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Formula
{
    const char* text;     // in this program's language
    const char* muparser; // the same values in muparser's language
    double (*native)(double, double);
};

// muparser has no '%' and no floor: both are defined for it with this engine's meaning (the
// remainder of the 32-bit integer parts).
double IntegerRemainder(double a, double b)
{
    return static_cast<double>(IntegerView(a) % IntegerView(b));
}

double Floor(double a)
{
    return std::floor(a);
}

const Formula kFormulas[] = {
    {"-y", "-y", [](double, double y) { return -y; }},
    {"x*y + x", "x*y + x", [](double x, double y) { return x * y + x; }},
    {"sin(x)*cos(y)", "sin(x)*cos(y)",
     [](double x, double y) { return std::sin(x) * std::cos(y); }},
    {"x*exp((x*x+y*y)/-4)", "x*exp((x*x+y*y)/-4)",
     [](double x, double y) { return x * std::exp((x * x + y * y) / -4); }},
    {"sqrt(x*x+y*y) < 3 ? -y : x", "sqrt(x*x+y*y) < 3 ? -y : x",
     [](double x, double y) { return std::sqrt(x * x + y * y) < 3 ? -y : x; }},
    {"x*x*x - 3*x*y*y + 0.5*x - 0.25*y + 1", "x*x*x - 3*x*y*y + 0.5*x - 0.25*y + 1",
     [](double x, double y) { return x * x * x - 3 * x * y * y + 0.5 * x - 0.25 * y + 1; }},
    {"x^2 - y^2", "x^2 - y^2", [](double x, double y) { return x * x - y * y; }},
    {"abs(x) > 1 && abs(y) > 1 ? x % 3 : floor(y)", "abs(x) > 1 && abs(y) > 1 ? x % 3 : floor(y)",
     [](double x, double y) {
         return std::fabs(x) > 1 && std::fabs(y) > 1 ? IntegerRemainder(x, 3) : std::floor(y);
     }},
};

bool quick = false;

int Repetitions()
{
    return quick ? 1 : 15;
}

// The time per call of `body`, which does `calls` calls.
double Nanoseconds(const std::function<double()>& body, long calls)
{
    static volatile double sink = 0;
    const auto start = Clock::now();
    sink = sink + body();
    const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
    return elapsed.count() / calls;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median over repetitions of the time per call of `body`, which does `calls` calls.
double MedianNanoseconds(const std::function<double()>& body, long calls)
{
    std::vector<double> times;
    for (int r = 0; r < Repetitions(); ++r)
        times.push_back(Nanoseconds(body, calls));
    return Median(times);
}

// Sweeps of the plot's 20 x 20 grid, so that the values change at every call.
constexpr int kGridSide = 20;
constexpr int kSweeps = 500;

template <class Evaluate> double SweepGrid(double& x, double& y, Evaluate evaluate)
{
    double sum = 0;
    const int sweeps = quick ? 1 : kSweeps;
    for (int sweep = 0; sweep < sweeps; ++sweep)
        for (int i = 0; i < kGridSide; ++i) {
            x = -4.75 + 0.5 * i;
            for (int j = 0; j < kGridSide; ++j) {
                y = -4.75 + 0.5 * j;
                sum += evaluate();
            }
        }
    return sum;
}

long GridCalls()
{
    return (quick ? 1L : kSweeps) * kGridSide * kGridSide;
}

void DefineMissingFeatures(mu::Parser& parser)
{
    parser.DefineOprt("%", IntegerRemainder, mu::prMUL_DIV, mu::oaLEFT, true);
    parser.DefineFun("floor", Floor);
}

double GeometricMean(const std::vector<double>& values)
{
    double logSum = 0;
    for (double v : values)
        logSum += std::log(v);
    return std::exp(logSum / values.size());
}

void CompareEvaluation()
{
    std::printf("One evaluation, ns (median of %d runs of %d sweeps over the 20 x 20 grid)\n\n",
                Repetitions(), kSweeps);
    std::printf("| formula | engine | muparser | C++ | engine/muparser | engine/C++ |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    std::vector<double> toMuparser;
    std::vector<double> toNative;
    long allocationsWhileEvaluating = 0;
    for (const Formula& formula : kFormulas) {
        double x = 0;
        double y = 0;
        FunctionInterpreter expression(formula.text);
        expression.BindValueSlotByName("x", &x);
        expression.BindValueSlotByName("y", &y);

        mu::Parser muparser;
        DefineMissingFeatures(muparser);
        muparser.DefineVar("x", &x);
        muparser.DefineVar("y", &y);
        muparser.SetExpr(formula.muparser);
        muparser.Eval(); // muparser compiles its bytecode on the first evaluation

        // Values must agree before their speed is compared.
        SweepGrid(x, y, [&] {
            const double expected = formula.native(x, y);
            const double engine = expression.Evaluate();
            const double other = muparser.Eval();
            if (std::fabs(engine - expected) > 1e-12 * std::max(1.0, std::fabs(expected)) ||
                std::fabs(other - expected) > 1e-12 * std::max(1.0, std::fabs(expected))) {
                std::fprintf(stderr, "%s at (%g, %g): engine %.17g, muparser %.17g, C++ %.17g\n",
                             formula.text, x, y, engine, other, expected);
                std::exit(1);
            }
            return engine;
        });

        const long before = AllocationCount();
        SweepGrid(x, y, [&] { return expression.Evaluate(); });
        allocationsWhileEvaluating += AllocationCount() - before;
        // The three take turns, so that a disturbance of the machine hits them alike.
        double (*volatile native)(double, double) = formula.native; // a call, as for the others
        std::vector<double> engineTimes;
        std::vector<double> muparserTimes;
        std::vector<double> nativeTimes;
        for (int r = 0; r < Repetitions(); ++r) {
            engineTimes.push_back(
                Nanoseconds([&] { return SweepGrid(x, y, [&] { return expression.Evaluate(); }); },
                            GridCalls()));
            muparserTimes.push_back(Nanoseconds(
                [&] { return SweepGrid(x, y, [&] { return muparser.Eval(); }); }, GridCalls()));
            nativeTimes.push_back(Nanoseconds(
                [&] { return SweepGrid(x, y, [&] { return native(x, y); }); }, GridCalls()));
        }
        const double engineTime = Median(engineTimes);
        const double muparserTime = Median(muparserTimes);
        const double nativeTime = Median(nativeTimes);

        toMuparser.push_back(engineTime / muparserTime);
        toNative.push_back(engineTime / nativeTime);
        std::printf("| `%s` | %.1f | %.1f | %.1f | %.2f | %.2f |\n", formula.text, engineTime,
                    muparserTime, nativeTime, toMuparser.back(), toNative.back());
    }
    std::printf("| geometric mean | | | | %.2f | %.2f |\n\n", GeometricMean(toMuparser),
                GeometricMean(toNative));
    std::printf("Heap allocations while the engine evaluated: %ld\n\n", allocationsWhileEvaluating);
}

// A formula of about `length` characters that compiles: sums of 50 terms in parentheses,
// multiplied, so that it stays far from the nesting limit.
std::string LongCompilingFormula(size_t length)
{
    std::string text;
    int term = 0;
    while (text.size() + 200 < length) {
        text += text.empty() ? "(" : "*(";
        for (int i = 0; i < 50; ++i)
            text += (i ? "+" : "") + std::string(term++ % 2 ? "x" : "y");
        text += ")";
    }
    text.resize(length, ' ');
    return text;
}

void CompareCompilation()
{
    const char* typical = "x*exp((x*x+y*y)/-4)";
    const double engine = MedianNanoseconds(
        [&] {
            FunctionInterpreter expression(typical);
            return static_cast<double>(expression.VariableCount());
        },
        1);
    const double muparser = MedianNanoseconds(
        [&] {
            double x = 0;
            double y = 0;
            mu::Parser parser;
            parser.DefineVar("x", &x);
            parser.DefineVar("y", &y);
            parser.SetExpr(typical);
            return parser.Eval();
        },
        1);
    std::printf("Compiling `%s`: engine %.2f us, muparser %.2f us (parse to first value)\n\n",
                typical, engine / 1000, muparser / 1000);

    const std::string flatSum = [] {
        std::string text = "x";
        while (text.size() + 2 <= 32767)
            text += "+y";
        return text;
    }();
    const std::string grouped = LongCompilingFormula(32767);
    for (const auto& [name, text] :
         {std::pair<const char*, const std::string&>{"a flat sum of 16,384 terms", flatSum},
          std::pair<const char*, const std::string&>{"products of 50-term sums", grouped}}) {
        std::string outcome = "compiled";
        const double time = MedianNanoseconds(
            [&] {
                try {
                    FunctionInterpreter expression(text.c_str());
                } catch (const ParseErrorMsg& error) {
                    outcome = std::string("refused: ") + ErrorMessage(error.code);
                }
                return 0.0;
            },
            1);
        std::printf("Compiling %zu characters (%s): %.2f ms, %s\n", text.size(), name, time / 1e6,
                    outcome.c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    CompareEvaluation();
    CompareCompilation();
    return 0;
}
