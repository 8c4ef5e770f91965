// No formula may crash the engine: nesting is bounded, long texts end in a tree or in an error
// record, and the deepest accepted trees leave every operation far from the end of the stack.
// (Random texts are the fuzz target's work.)

#include "test_support.h"

#include <pthread.h>

#include <string>

namespace {

std::string Nest(const char* open, const char* core, const char* close, int depth)
{
    return Repeat(open, depth) + core + Repeat(close, depth);
}

TEST(Nesting, TheLimitItselfIsAcceptedAndOneMoreLevelRefused)
{
    // Each "!(" nests one level; the operand x sits one level below the last.
    const std::string deepest = Nest("!(", "x", ")", kMaxNestingDepth);
    EXPECT_FALSE(CompileError(deepest.c_str()));
    const std::string tooDeep = Nest("!(", "x", ")", kMaxNestingDepth + 1);
    // Refused at the span one level too deep: "(x)" around the innermost operand.
    const int at = 2 * (kMaxNestingDepth + 1) - 1;
    EXPECT_TRUE(HasError(CompileError(tooDeep.c_str()), kOutOfMemory, at, at + 2));
}

TEST(Nesting, PastedMonstersAreRefusedQuickly)
{
    const struct
    {
        std::string formula;
        int code;
    } cases[] = {// A prefix operator must not follow another one without parentheses.
                 {Repeat("!", 30000) + "x", kSyntaxError},
                 {Nest("!(", "x", ")", 30000), kOutOfMemory},
                 {"x" + Repeat("+x", 20000), kOutOfMemory},
                 {Nest("sin(", "x", ")", 5000), kOutOfMemory},
                 {Nest("(x+", "x", ")", 5000), kOutOfMemory},
                 {Nest("(", "x", "^2)", 3000), kOutOfMemory},
                 {Repeat("c ? ", 2000) + "x" + Repeat(" : y", 2000), kOutOfMemory}};
    for (const auto& c : cases) {
        const auto error = CompileError(c.formula.c_str());
        ASSERT_TRUE(error) << c.formula.substr(0, 40);
        EXPECT_EQ(error->code, c.code) << c.formula.substr(0, 40);
    }
}

// Parentheses alone build no depth: any number of them around a formula is stripped.
TEST(Nesting, ParenthesesAloneAreNotNesting)
{
    Bound parenthesised(Nest("(", "x + 1", ")", 50000).c_str());
    EXPECT_EQ(parenthesised.Set("x", 2).Evaluate(), 3.0);
}

// Runs `work` on a thread with a deliberately small stack.
void RunWithStack(size_t bytes, void (*work)())
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, bytes), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attributes,
                  [](void* job) -> void* {
                      reinterpret_cast<void (*)()>(job)();
                      return nullptr;
                  },
                  reinterpret_cast<void*>(work)),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

// Every recursive operation on the deepest trees of several shapes, derivatives included
// (they are deeper than their source).
void ExerciseDeepestTrees()
{
    const std::string shapes[] = {
        Nest("sin(", "x", ")", kMaxNestingDepth),  Nest("(", "x", "^x)", kMaxNestingDepth),
        Nest("(x^", "x", ")", kMaxNestingDepth),   Nest("(", "x", "/x)", kMaxNestingDepth),
        Nest("(x/", "x", ")", kMaxNestingDepth),   Nest("NEG(", "x", ")", kMaxNestingDepth),
        Nest("asec(", "x", ")", kMaxNestingDepth), Nest("(x>0?", "x", ":x)", kMaxNestingDepth / 2),
        Nest("(x*", "x", ")", kMaxNestingDepth),   Nest("!(", "x", ")", kMaxNestingDepth)};
    for (const std::string& formula : shapes) {
        Bound f(formula.c_str());
        f.Set("x", 1.5);
        delete[] f.expression.Print();
        ErrorFrom([&] { f.Evaluate(); });
        FunctionInterpreter copy(f.expression.CopyTree());
        EXPECT_TRUE(f.expression.IsSameAsExpression(&copy));
        ErrorFrom([&] {
            Bound derivative(f.expression.Derivative("x", nullptr));
            derivative.Set("x", 1.5);
            delete[] derivative.expression.Print();
            derivative.Evaluate();
        });
    }
}

TEST(Nesting, DeepestTreesNeedAQuarterOfAnEightMegabyteStack)
{
    RunWithStack(2 << 20, ExerciseDeepestTrees);
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
    const std::string formulas[] = {std::string(100000, '('),
                                    std::string(100000, ')'),
                                    std::string(100000, ' '),
                                    std::string(100000, 'x'),
                                    Repeat("sin(", 25000),
                                    Repeat("x*", 50000),
                                    manyNames};
    for (const std::string& formula : formulas) {
        try {
            FunctionInterpreter f(formula.c_str());
            EXPECT_GE(f.VariableCount(), 1);
        } catch (const ParseErrorMsg& error) {
            EXPECT_TRUE(HasErrorMessage(error.code));
        }
    }
    const FunctionInterpreter names(manyNames.c_str());
    EXPECT_EQ(names.VariableCount(), 20000);
    EXPECT_EQ(names.FindVariable("v19999"), 19999);
}

} // namespace
