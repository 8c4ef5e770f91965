#include "test_support.h"

#include <set>

TEST(Compile, RejectsWithCodeAndPositions)
{
    const std::tuple<const char*, int, int, int> cases[] = {
        {"", kEmptyExpression, 0, -1}, {"   ", kEmptyExpression, 0, 2},
        {"()", kEmptyExpression, 0, 1}, {"=", kEmptyExpression, 1, 0},
        {"*b", kEmptyExpression, 0, -1}, {"x-", kEmptyExpression, 2, 1},
        {"(x+)", kEmptyExpression, 3, 2}, {"sin()", kEmptyExpression, 3, 4},
        {"x ? : y", kEmptyExpression, 4, 3}, {"(a)(b)", kOperatorAnticipated, 2, 3},
        {"x \t y", kOperatorAnticipated, 1, 3}, {"sin x", kOperatorAnticipated, 3, 3},
        {"x e-3", kOperatorAnticipated, 1, 1}, {"1 + (2 3)", kOperatorAnticipated, 6, 6},
        {"(a)b", kSyntaxError, 2, 3}, {"-", kSyntaxError, 0, 0}, {"2e-", kSyntaxError, 2, 2},
        {"-(x+1)", kSyntaxError, 0, 0}, {"- -x", kSyntaxError, 0, 0}, {"+-x", kSyntaxError, 0, 0},
        {"!!x", kSyntaxError, 0, 0}, {"(a) !b", kSyntaxError, 1, 1},
        {"x * (y)z", kSyntaxError, 6, 7}, {"(a", kUnbalancedParenthesis, 0, 0},
        {"a)", kUnbalancedParenthesis, 1, 1}, {"(x)+(y", kUnbalancedParenthesis, 4, 4},
        {"=a)", kUnbalancedParenthesis, 2, 2}, {"sin(x", kUnbalancedParenthesis, 3, 3},
        {"arcsin(x)", kUnknownFunction, 0, 6}, {"max(a,b)", kUnknownFunction, 0, 3},
        {"1 + f (x)", kUnknownFunction, 4, 6}, {"a = b", kUnknownOperator, 2, 2},
        {"x === y", kUnknownOperator, 4, 4},
        // The first faulty token counts, even when a looser operator follows it.
        {"a = b || c", kUnknownOperator, 2, 2}, {"(a b) + (c d)", kOperatorAnticipated, 2, 2},
        {"a ? b", kMissingColon, 4, 4}, {"a ? (b)", kMissingColon, 5, 5},
        // Misplaced branches and failing constant parts are tied to no text.
        {"a : b", kMissingQuestionMark, -1, -1}, {"(a : b) + 1", kMissingQuestionMark, -1, -1},
        {"c ? (a : b) : d", kMissingQuestionMark, -1, -1}, {"x + 1/0", kDivisionByZero, -1, -1},
        {"x * sqrt(-1)", kSqrtOfNegative, -1, -1}, {"RAND(SQRT(-1))", kSqrtOfNegative, -1, -1},
        {"sin(ln(0))", kLnOfNegative, -1, -1},
        // Folding RAND over an absorbed variable reads it before anything is bound.
        {"RAND(0 * x)", kUnknownVariable, -1, -1}, {"5 % 0", kDivisionByZero, -1, -1},
    };
    for (const auto& [formula, code, from, to] : cases)
        EXPECT_TRUE(HasError(CompileError(formula), code, from, to)) << '"' << formula << '"';
}

TEST(ErrorMessages, EveryCodeHasItsOwnTextAndOthersTheFallback)
{
    const std::string fallback = "Unknown Error Type!";
    std::set<std::string> texts{fallback};
    for (int code = 0; code < kErrorMessageCount; ++code)
        EXPECT_TRUE(HasErrorMessage(code) && texts.insert(ErrorMessage(code)).second) << code;
    for (int code : {int(kErrorMessageCount), -1, INT32_MIN, INT32_MAX})
        EXPECT_TRUE(!HasErrorMessage(code) && ErrorMessage(code) == fallback) << code;
}
