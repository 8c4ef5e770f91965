// The batch evaluator against the same formulas written as plain C++ loops, against muparser's
// bulk mode and against this engine's point-by-point evaluation, per point, in one run with the
// evaluators taking turns. Points: 10,000 random points in the region and the plot's 400 grid
// points. Prints tables with ratios and geometric means; `--quick` measures everything once, for
// a smoke test.

#include "allocation_counter.h"
#include "engine.h"
#include "particle_stepper.h"

#include <muParser.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using NativeLoop = void (*)(const double* xs, const double* ys, double* out, std::size_t n);

struct Formula
{
    const char* text;
    NativeLoop native;
};

// The formula as C++, compiled here with the project's flags into a loop over the points.
#define VF_FORMULA(text, expression)                                                               \
    Formula                                                                                        \
    {                                                                                              \
        text, [](const double* xs, const double* ys, double* out, std::size_t n) {                 \
            for (std::size_t i = 0; i < n; ++i) {                                                  \
                const double x = xs[i];                                                            \
                const double y = ys[i];                                                            \
                (void)x; /* not every formula reads both */                                        \
                (void)y;                                                                           \
                out[i] = (expression);                                                             \
            }                                                                                      \
        }                                                                                          \
    }

// This engine's '%': the remainder of the 32-bit integer parts.
double IntegerRemainder(double a, double b)
{
    return static_cast<double>(IntegerView(a) % IntegerView(b));
}

double Floor(double a)
{
    return std::floor(a);
}

// The formulas of engine_vs_muparser; muparser reads them as they stand once '%' and floor are
// defined for it.
const Formula kFormulas[] = {
    VF_FORMULA("-y", -y),
    VF_FORMULA("x*y + x", x* y + x),
    VF_FORMULA("sin(x)*cos(y)", std::sin(x) * std::cos(y)),
    VF_FORMULA("x*exp((x*x+y*y)/-4)", x* std::exp((x * x + y * y) / -4)),
    VF_FORMULA("sqrt(x*x+y*y) < 3 ? -y : x", std::sqrt(x* x + y * y) < 3 ? -y : x),
    VF_FORMULA("x*x*x - 3*x*y*y + 0.5*x - 0.25*y + 1",
               x* x* x - 3 * x * y * y + 0.5 * x - 0.25 * y + 1),
    VF_FORMULA("x^2 - y^2", x* x - y * y),
    VF_FORMULA("abs(x) > 1 && abs(y) > 1 ? x % 3 : floor(y)",
               std::fabs(x) > 1 && std::fabs(y) > 1 ? IntegerRemainder(x, 3) : std::floor(y)),
};

#undef VF_FORMULA

bool quick = false;

int Repetitions()
{
    return quick ? 1 : 21;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double GeometricMean(const std::vector<double>& values)
{
    double logSum = 0;
    for (double v : values)
        logSum += std::log(v);
    return std::exp(logSum / double(values.size()));
}

// Nanoseconds per point of `passes` runs of `evaluate` over `points` points.
double PerPoint(const std::function<void()>& evaluate, int passes, std::size_t points)
{
    const auto start = Clock::now();
    for (int pass = 0; pass < passes; ++pass)
        evaluate();
    const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
    return elapsed.count() / (double(passes) * double(points));
}

struct PointSet
{
    const char* name;
    std::vector<double> xs;
    std::vector<double> ys;
    int passes; // per measurement, so that one lasts a few milliseconds
};

PointSet RandomPoints()
{
    PointSet set{"10,000 random points in the region", {}, {}, quick ? 1 : 20};
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> region(-5.0, 5.0);
    for (int i = 0; i < 10000; ++i) {
        set.xs.push_back(region(random));
        set.ys.push_back(region(random));
    }
    return set;
}

PointSet GridPoints()
{
    PointSet set{"the plot's 400 grid points", {}, {}, quick ? 1 : 500};
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 20; ++j) {
            set.xs.push_back(-4.75 + 0.5 * i);
            set.ys.push_back(-4.75 + 0.5 * j);
        }
    return set;
}

struct Ratios
{
    std::vector<double> toNative;
    std::vector<double> toMuparser;
    std::vector<double> engineToBatch;
};

[[noreturn]] void Disagree(const char* formula, const char* who, std::size_t i, double expected,
                           double got)
{
    std::fprintf(stderr, "%s at point %zu: %s gives %.17g, the batch %.17g\n", formula, i, who, got,
                 expected);
    std::exit(1);
}

bool Close(double a, double b)
{
    return std::fabs(a - b) <= 1e-12 * std::max(1.0, std::fabs(a));
}

long allocationsWhileEvaluating = 0;

void Compare(const PointSet& set, Ratios& all)
{
    const std::size_t n = set.xs.size();
    std::printf("Per point, ns, on %s (median of %d turns of %d passes each)\n\n", set.name,
                Repetitions(), set.passes);
    std::printf("| formula | batch | C++ | muparser bulk | engine | batch/C++ | "
                "batch/muparser | engine/batch |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
    Ratios ratios;
    for (const Formula& formula : kFormulas) {
        double x = 0;
        double y = 0;
        FunctionInterpreter expression(formula.text);
        expression.BindValueSlotByName("x", &x);
        expression.BindValueSlotByName("y", &y);
        BatchEvaluator batch(expression);
        batch.BindColumn("x", set.xs.data());
        batch.BindColumn("y", set.ys.data());

        // muparser's bulk mode reads every variable as an array indexed by the point.
        mu::Parser muparser;
        muparser.DefineOprt("%", IntegerRemainder, mu::prMUL_DIV, mu::oaLEFT, true);
        muparser.DefineFun("floor", Floor);
        muparser.DefineVar("x", const_cast<double*>(set.xs.data()));
        muparser.DefineVar("y", const_cast<double*>(set.ys.data()));
        muparser.SetExpr(formula.text);

        std::vector<double> batchValues(n);
        std::vector<int> errors(n);
        std::vector<double> nativeValues(n);
        std::vector<double> muparserValues(n);
        std::vector<double> engineValues(n);
        auto runBatch = [&] { batch.Evaluate(n, batchValues.data(), errors.data()); };
        auto runNative = [&] {
            formula.native(set.xs.data(), set.ys.data(), nativeValues.data(), n);
        };
        auto runMuparser = [&] { muparser.Eval(muparserValues.data(), int(n)); };
        auto runEngine = [&] {
            for (std::size_t i = 0; i < n; ++i) {
                x = set.xs[i];
                y = set.ys[i];
                try {
                    engineValues[i] = expression.Evaluate();
                } catch (const ParseErrorMsg&) {
                    engineValues[i] = std::nan("");
                }
            }
        };

        // Values must agree before their speed is compared.
        const long before = AllocationCount();
        runBatch();
        allocationsWhileEvaluating += AllocationCount() - before;
        runNative();
        runMuparser();
        runEngine();
        for (std::size_t i = 0; i < n; ++i) {
            if (errors[i] != -1) Disagree(formula.text, "an error", i, batchValues[i], errors[i]);
            if (std::memcmp(&batchValues[i], &engineValues[i], sizeof(double)) != 0)
                Disagree(formula.text, "the engine", i, batchValues[i], engineValues[i]);
            if (!Close(batchValues[i], nativeValues[i]))
                Disagree(formula.text, "C++", i, batchValues[i], nativeValues[i]);
            if (!Close(batchValues[i], muparserValues[i]))
                Disagree(formula.text, "muparser", i, batchValues[i], muparserValues[i]);
        }

        std::vector<double> times[4];
        const std::function<void()> runs[4] = {runBatch, runNative, runMuparser, runEngine};
        for (int r = 0; r < Repetitions(); ++r)
            for (int e = 0; e < 4; ++e)
                times[e].push_back(PerPoint(runs[e], set.passes, n));
        const double batchTime = Median(times[0]);
        const double nativeTime = Median(times[1]);
        const double muparserTime = Median(times[2]);
        const double engineTime = Median(times[3]);
        ratios.toNative.push_back(batchTime / nativeTime);
        ratios.toMuparser.push_back(batchTime / muparserTime);
        ratios.engineToBatch.push_back(engineTime / batchTime);
        std::printf("| `%s` | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.1f |\n", formula.text,
                    batchTime, nativeTime, muparserTime, engineTime, ratios.toNative.back(),
                    ratios.toMuparser.back(), ratios.engineToBatch.back());
    }
    std::printf("| geometric mean | | | | | %.2f | %.2f | %.1f |\n\n",
                GeometricMean(ratios.toNative), GeometricMean(ratios.toMuparser),
                GeometricMean(ratios.engineToBatch));
    for (int k = 0; k < 3; ++k) {
        auto& from = k == 0 ? ratios.toNative : k == 1 ? ratios.toMuparser : ratios.engineToBatch;
        auto& to = k == 0 ? all.toNative : k == 1 ? all.toMuparser : all.engineToBatch;
        to.insert(to.end(), from.begin(), from.end());
    }
}

// One animation tick of 10,000 particles (ten substeps of a 10 ms tick), by the stepper and by
// stepping each particle alone through the tree as the field window does today. Every tick
// starts from the same particles.
constexpr const char* kTickFx = "sin(x)*cos(y)";
constexpr const char* kTickFy = "x*x*x - 3*x*y*y";
constexpr std::size_t kParticles = 10000;
constexpr int kSubsteps = 10;
constexpr double kSubstep = 0.010 / kSubsteps;

struct Particles
{
    std::vector<double> x, y;
    std::vector<float> vx, vy;
};

Particles StartingParticles()
{
    Particles p;
    const int side = 100;
    for (std::size_t i = 0; i < kParticles; ++i) {
        p.x.push_back(-4.5 + 9.0 * double(i % side) / side);
        p.y.push_back(-4.5 + 9.0 * double(i / side) / side);
        p.vx.push_back(0.5f);
        p.vy.push_back(3.0f);
    }
    return p;
}

// The field window's stepping, one particle at a time, without the scene.
void StepAlone(FieldKind field, const FunctionInterpreter& fx, const FunctionInterpreter& fy,
               double& xSlot, double& ySlot, Particles& p)
{
    for (std::size_t i = 0; i < kParticles; ++i) {
        const double startX = p.x[i];
        const double startY = p.y[i];
        double x = startX;
        double y = startY;
        xSlot = x;
        ySlot = y;
        for (int step = 0; step < kSubsteps; ++step) {
            bool evaluated = true;
            try {
                if (field == FieldKind::Velocity) {
                    x += fx.Evaluate() * kSubstep;
                    xSlot = x;
                    y += fy.Evaluate() * kSubstep;
                } else {
                    const double ay = fy.Evaluate();
                    const double ax = fx.Evaluate();
                    p.vy[i] = p.vy[i] + float(ay * kSubstep);
                    p.vx[i] = p.vx[i] + float(ax * kSubstep);
                    x += p.vx[i] * kSubstep;
                    y += p.vy[i] * kSubstep;
                }
            } catch (const ParseErrorMsg&) {
                evaluated = false;
            }
            if (!evaluated || !std::isfinite(x) || !std::isfinite(y)) {
                x = startX;
                y = startY;
            }
            xSlot = x;
            ySlot = y;
        }
        p.x[i] = x;
        p.y[i] = y;
    }
}

void CompareTicks()
{
    std::printf("One tick of %zu particles, ms (%d substeps; Fx = `%s`, Fy = `%s`; median of %d "
                "ticks each, taking turns)\n\n",
                kParticles, kSubsteps, kTickFx, kTickFy, Repetitions() * 3);
    std::printf("| field | stepper | one particle at a time | ratio |\n|---|---:|---:|---:|\n");
    const Particles start = StartingParticles();
    long allocations = 0;
    for (auto field : {FieldKind::Velocity, FieldKind::Acceleration}) {
        double x = 0;
        double y = 0;
        FunctionInterpreter fx(kTickFx);
        FunctionInterpreter fy(kTickFy);
        for (FunctionInterpreter* f : {&fx, &fy}) {
            f->BindValueSlotByName("x", &x);
            f->BindValueSlotByName("y", &y);
        }
        ParticleStepper stepper(fx, fy, field);
        Particles batch = start;
        Particles alone = start;
        stepper.Tick(kParticles, batch.x.data(), batch.y.data(), batch.vx.data(), batch.vy.data(),
                     kSubstep, kSubsteps);
        StepAlone(field, fx, fy, x, y, alone);
        for (std::size_t i = 0; i < kParticles; ++i)
            if (!Close(batch.x[i], alone.x[i]) || !Close(batch.y[i], alone.y[i])) {
                std::fprintf(stderr, "The stepper moved particle %zu elsewhere\n", i);
                std::exit(1);
            }
        std::vector<double> stepperTimes;
        std::vector<double> aloneTimes;
        for (int r = 0; r < Repetitions() * 3; ++r) {
            batch = start;
            stepperTimes.push_back(PerPoint(
                [&] {
                    stepper.Tick(kParticles, batch.x.data(), batch.y.data(), batch.vx.data(),
                                 batch.vy.data(), kSubstep, kSubsteps);
                },
                1, 1));
            alone = start;
            aloneTimes.push_back(PerPoint([&] { StepAlone(field, fx, fy, x, y, alone); }, 1, 1));
        }
        batch = start;
        const long before = AllocationCount();
        stepper.Tick(kParticles, batch.x.data(), batch.y.data(), batch.vx.data(), batch.vy.data(),
                     kSubstep, kSubsteps);
        allocations += AllocationCount() - before;
        const double stepperMs = Median(stepperTimes) / 1e6;
        const double aloneMs = Median(aloneTimes) / 1e6;
        std::printf("| %s | %.2f | %.2f | %.2f |\n",
                    field == FieldKind::Velocity ? "velocity" : "acceleration", stepperMs, aloneMs,
                    stepperMs / aloneMs);
    }
    std::printf("\nGoal: a tick in at most 3 ms. Heap allocations in the stepper's ticks: %ld\n\n",
                allocations);
}

} // namespace

int main(int argc, char** argv)
{
    // muparser's bulk mode runs on OpenMP threads: compare one thread with one thread. OpenMP
    // reads the variable when it starts, so the process starts again with it set.
    const char* threads = std::getenv("OMP_NUM_THREADS");
    if (!threads || std::strcmp(threads, "1") != 0) {
        setenv("OMP_NUM_THREADS", "1", 1);
        execv("/proc/self/exe", argv);
        std::perror("batch_vs_native: cannot restart with OMP_NUM_THREADS=1");
        return 1;
    }
    quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;

    Ratios all;
    Compare(RandomPoints(), all);
    Compare(GridPoints(), all);
    const double worst = *std::max_element(all.toNative.begin(), all.toNative.end());
    std::printf("Both point sets: batch/C++ geometric mean %.2f (goal at most 1.5), highest %.2f "
                "(goal at most 3); batch/muparser bulk geometric mean %.2f (goal at most 0.5); "
                "the engine point by point takes %.1f times as long as the batch.\n",
                GeometricMean(all.toNative), worst, GeometricMean(all.toMuparser),
                GeometricMean(all.engineToBatch));
    std::printf("Heap allocations while the batch evaluated: %ld\n\n", allocationsWhileEvaluating);
    CompareTicks();
    return 0;
}
