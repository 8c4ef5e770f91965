// Every failure is one record: its code, and where in the formula the faulty text lies.

#include "test_support.h"

#include <set>

namespace {

struct ErrorCase
{
    const char* formula;
    int code;
    int from;
    int to;
};

void PrintTo(const ErrorCase& c, std::ostream* out)
{
    *out << '"' << c.formula << '"';
}

class RejectedAtCompile : public testing::TestWithParam<ErrorCase>
{
};

TEST_P(RejectedAtCompile, WithCodeAndPositions)
{
    const ErrorCase& c = GetParam();
    EXPECT_TRUE(HasError(CompileError(c.formula), c.code, c.from, c.to));
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, RejectedAtCompile,
    testing::Values(
        ErrorCase{"", kEmptyExpression, 0, -1}, ErrorCase{"   ", kEmptyExpression, 0, 2},
        ErrorCase{"()", kEmptyExpression, 0, 1}, ErrorCase{"=", kEmptyExpression, 1, 0},
        ErrorCase{"*b", kEmptyExpression, 0, -1}, ErrorCase{"x-", kEmptyExpression, 2, 1},
        ErrorCase{"(x+)", kEmptyExpression, 3, 2}, ErrorCase{"sin()", kEmptyExpression, 3, 4},
        ErrorCase{"x ? : y", kEmptyExpression, 4, 3},
        ErrorCase{"(a)(b)", kOperatorAnticipated, 2, 3},
        ErrorCase{"x \t y", kOperatorAnticipated, 1, 3},
        ErrorCase{"sin x", kOperatorAnticipated, 3, 3},
        ErrorCase{"x e-3", kOperatorAnticipated, 1, 1},
        ErrorCase{"1 + (2 3)", kOperatorAnticipated, 6, 6}, ErrorCase{"(a)b", kSyntaxError, 2, 3},
        ErrorCase{"-", kSyntaxError, 0, 0}, ErrorCase{"2e-", kSyntaxError, 2, 2},
        ErrorCase{"-(x+1)", kSyntaxError, 0, 0}, ErrorCase{"- -x", kSyntaxError, 0, 0},
        ErrorCase{"+-x", kSyntaxError, 0, 0}, ErrorCase{"!!x", kSyntaxError, 0, 0},
        ErrorCase{"(a) !b", kSyntaxError, 1, 1}, ErrorCase{"x * (y)z", kSyntaxError, 6, 7},
        ErrorCase{"(a", kUnbalancedParenthesis, 0, 0},
        ErrorCase{"a)", kUnbalancedParenthesis, 1, 1},
        ErrorCase{"(x)+(y", kUnbalancedParenthesis, 4, 4},
        ErrorCase{"=a)", kUnbalancedParenthesis, 2, 2},
        ErrorCase{"sin(x", kUnbalancedParenthesis, 3, 3},
        ErrorCase{"arcsin(x)", kUnknownFunction, 0, 6},
        ErrorCase{"max(a,b)", kUnknownFunction, 0, 3},
        ErrorCase{"1 + f (x)", kUnknownFunction, 4, 6}, ErrorCase{"a = b", kUnknownOperator, 2, 2},
        ErrorCase{"x === y", kUnknownOperator, 4, 4},
        // The first faulty token counts, even when a looser operator follows it.
        ErrorCase{"a = b || c", kUnknownOperator, 2, 2},
        ErrorCase{"(a b) + (c d)", kOperatorAnticipated, 2, 2}));

INSTANTIATE_TEST_SUITE_P(ConditionalsAndConstantParts, RejectedAtCompile,
                         testing::Values(ErrorCase{"a : b", kMissingQuestionMark, -1, -1},
                                         ErrorCase{"(a : b) + 1", kMissingQuestionMark, -1, -1},
                                         ErrorCase{"c ? (a : b) : d", kMissingQuestionMark, -1, -1},
                                         ErrorCase{"a ? b", kMissingColon, 4, 4},
                                         ErrorCase{"a ? (b)", kMissingColon, 5, 5},
                                         ErrorCase{"x + 1/0", kDivisionByZero, -1, -1},
                                         ErrorCase{"x * sqrt(-1)", kSqrtOfNegative, -1, -1},
                                         ErrorCase{"RAND(SQRT(-1))", kSqrtOfNegative, -1, -1},
                                         ErrorCase{"sin(ln(0))", kLnOfNegative, -1, -1},
                                         ErrorCase{"5 % 0", kDivisionByZero, -1, -1}));

TEST(ErrorMessages, TableHasDistinctTextsForCodesZeroToTwentySeven)
{
    std::set<std::string> texts;
    for (int code = 0; code < kErrorMessageCount; ++code)
        texts.insert(ErrorMessage(code));
    EXPECT_EQ(texts.size(), 28u);
    EXPECT_EQ(texts.count("Unknown Error Type!"), 0u);
    for (int code : {28, -1, INT32_MIN, INT32_MAX})
        EXPECT_STREQ(ErrorMessage(code), "Unknown Error Type!") << code;
}

} // namespace
