// No formula may crash the engine, however deep or long.

#include "test_support.h"

#include <pthread.h>

#include <string>

namespace {

std::string Nest(const char* open, const char* core, const char* close, int depth)
{
    return Repeat(open, depth) + core + Repeat(close, depth);
}

TEST(Nesting, TheLimitIsAcceptedAndMonstersAreRefusedQuickly)
{
    const std::pair<std::string, int> cases[] = {
        {Nest("!(", "x", ")", kMaxNestingDepth), -1},
        // "!!...x": a prefix operator must not follow another one without parentheses.
        {Repeat("!", 30000) + "x", kSyntaxError}, {Nest("!(", "x", ")", 30000), kOutOfMemory},
        {"x" + Repeat("+x", 20000), kOutOfMemory}, {Nest("sin(", "x", ")", 5000), kOutOfMemory},
        {Nest("(x+", "x", ")", 5000), kOutOfMemory}, {Nest("(", "x", "^2)", 3000), kOutOfMemory},
        {Repeat("c ? ", 2000) + "x" + Repeat(" : y", 2000), kOutOfMemory},
    };
    for (const auto& [formula, code] : cases) {
        const auto error = CompileError(formula.c_str());
        EXPECT_EQ(error ? error->code : -1, code) << formula.substr(0, 40);
    }
    // Each "!(" nests one level and x sits one below the last; one level more is refused at the
    // "(x)" around the innermost operand.
    const int at = 2 * (kMaxNestingDepth + 1) - 1;
    EXPECT_TRUE(HasError(CompileError(Nest("!(", "x", ")", kMaxNestingDepth + 1).c_str()),
                         kOutOfMemory, at, at + 2));
}

// Evaluates at x = 1.5 through the tree and over the box [1.5, 1.5]: the enclosure holds the
// value, or announces the failure.
void EvaluateBothWays(Bound& f)
{
    const Interval point{1.5, 1.5};
    IntervalEvaluator interval(f.expression);
    interval.Bind("x", &point);
    bool mayFail = false;
    const Interval enclosure = interval.Evaluate(&mayFail);
    double value = kNaN;
    ErrorFrom([&] { value = f.Set("x", 1.5).Evaluate(); });
    EXPECT_TRUE(std::isnan(value) ? mayFail : Contains(enclosure, value));
}

// Every recursive operation, derivatives (deeper than their source) included, on the deepest
// trees of several shapes, on a thread with a quarter of the usual 8 MiB stack.
TEST(Nesting, DeepestTreesNeedAQuarterOfAnEightMegabyteStack)
{
    auto work = [](void*) -> void* {
        for (auto [head, tail] : {std::pair{"sin(", ")"}, {"(", "^x)"}, {"(x^", ")"}, {"(", "/x)"},
                                  {"(x/", ")"}, {"NEG(", ")"}, {"asec(", ")"}, {"(x>0?", ":x)"},
                                  {"(x*", ")"}, {"!(", ")"}}) {
            // A conditional nests two levels at a time.
            const int depth = std::string(tail) == ":x)" ? kMaxNestingDepth / 2 : kMaxNestingDepth;
            Bound f(Nest(head, "x", tail, depth).c_str());
            delete[] f.expression.Print();
            EvaluateBothWays(f);
            FunctionInterpreter copy(f.expression.CopyTree());
            EXPECT_TRUE(f.expression.IsSameAsExpression(&copy));
            ErrorFrom([&] {
                Bound derivative(f.expression.Derivative("x", nullptr));
                delete[] derivative.expression.Print();
                derivative.Set("x", 1.5).Evaluate();
            });
        }
        return nullptr;
    };
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 2 << 20), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, work, nullptr), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST(LongText, HundredThousandCharactersOfEveryShape)
{
    std::string manyNames;
    for (int group = 0; group < 200; ++group) {
        manyNames += group ? "*(" : "(";
        for (int term = 0; term < 100; ++term)
            manyNames += (term ? "+v" : "v") + std::to_string(group * 100 + term);
        manyNames += ")";
    }
    const std::string formulas[] = {
        std::string(100000, '('), std::string(100000, ')'), std::string(100000, ' '),
        std::string(100000, 'x'), Repeat("sin(", 25000), Repeat("x*", 50000), manyNames,
    };
    for (const std::string& formula : formulas) {
        const auto error = CompileError(formula.c_str());
        EXPECT_TRUE(!error || HasErrorMessage(error->code)) << formula.substr(0, 20);
    }
    const FunctionInterpreter names(manyNames.c_str());
    EXPECT_EQ(names.VariableCount(), 20000);
    EXPECT_EQ(names.FindVariable("v19999"), 19999);
    // Parentheses alone build no depth: any number of them around a formula is stripped.
    EXPECT_EQ(Bound(Nest("(", "x + 1", ")", 50000).c_str()).Set("x", 2).Evaluate(), 3.0);
}

} // namespace
