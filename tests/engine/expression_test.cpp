// The expression object: its variables table, binding to caller storage, and the tree operations
// it forwards.

#include "test_support.h"

namespace {

std::vector<std::string> TableOf(const FunctionInterpreter& expression)
{
    std::vector<std::string> names;
    for (int i = 0; i < expression.VariableCount(); ++i)
        names.push_back(expression.VariableName(i));
    return names;
}

using Names = std::vector<std::string>;

TEST(VariablesTable, ListsNamesInOrderOfFirstOccurrenceAndKeepsThem)
{
    EXPECT_EQ(TableOf(FunctionInterpreter("x*y + x")), (Names{"x", "y"}));
    EXPECT_EQ(TableOf(FunctionInterpreter("y + x*y")), (Names{"y", "x"}));
    EXPECT_EQ(TableOf(FunctionInterpreter("c ? b : X")), (Names{"c", "b", "X"}));
    // Simplification removes x and y from the tree, not from the table.
    const FunctionInterpreter folded("x - x + y * 0");
    EXPECT_EQ(TableOf(folded), (Names{"x", "y"}));
    EXPECT_TRUE(folded.Root()->IsLiteral());
    EXPECT_EQ(folded.Root()->parent, &folded);
}

TEST(VariablesTable, UnknownIndicesAndNamesAreRefused)
{
    FunctionInterpreter expression("x + y");
    double value = 1;
    EXPECT_FALSE(expression.BindValueSlot(2, &value));
    EXPECT_FALSE(expression.BindValueSlot(-1, &value));
    EXPECT_FALSE(expression.BindValueSlotByName("Y", &value));
    EXPECT_EQ(expression.VariableName(2), nullptr);
    EXPECT_EQ(expression.FindOrAddVariable("y"), 1);
    EXPECT_TRUE(
        HasError(ErrorFrom([&] { expression.ValueSlotByName("z"); }), kUnknownVariable, -1, -1));
    EXPECT_TRUE(HasError(ErrorFrom([&] { delete expression.DerivativeByIndex(2, nullptr); }),
                         kUnknownVariable, -1, -1));
}

// A variable without storage must never be read through a null pointer.
TEST(Binding, AnUnboundVariableRaisesUnknownVariable)
{
    FunctionInterpreter neverBound("x + 1");
    EXPECT_TRUE(HasError(ErrorFrom([&] { neverBound.Evaluate(); }), kUnknownVariable, -1, -1));
    FunctionInterpreter boundToNothing("x == 2 || y");
    double x = 3;
    boundToNothing.BindValueSlotByName("x", &x);
    boundToNothing.BindValueSlotByName("y", nullptr);
    EXPECT_TRUE(HasError(ErrorFrom([&] { boundToNothing.Evaluate(); }), kUnknownVariable, -1, -1));
    x = 2; // short-circuiting spares the variable that has no storage
    EXPECT_EQ(boundToNothing.Evaluate(), 1.0);
    const Variable unattached("x");
    EXPECT_TRUE(HasError(ErrorFrom([&] { unattached.Evaluate(); }), kUnknownVariable, -1, -1));
}

TEST(Construction, TreeFormAdoptsATreeAndDeletesItOnFailure)
{
    const FunctionInterpreter source("x*x");
    Bound derivative(source.Derivative("x", nullptr));
    EXPECT_EQ(TableOf(derivative.expression), Names{"x"});
    EXPECT_EQ(derivative.Set("x", 3).Evaluate(), 6.0);

    // LeakSanitizer reports the branches if they were not deleted.
    Parser* lonelyBranches = new ThenElseOperator(new Variable("a"), new Variable("b"));
    EXPECT_TRUE(HasError(ErrorFrom([&] { FunctionInterpreter adopted(lonelyBranches); }),
                         kMissingQuestionMark, -1, -1));
}

TEST(EmptyExpression, HasNoTreeToEvaluatePrintOrCopy)
{
    FunctionInterpreter empty(static_cast<Parser*>(nullptr));
    EXPECT_TRUE(HasError(ErrorFrom([&] { empty.Evaluate(); }), kEmptyExpression, -1, -1));
    EXPECT_TRUE(HasError(ErrorFrom([&] { delete[] empty.Print(); }), kEmptyExpression, -1, -1));
    EXPECT_TRUE(HasError(ErrorFrom([&] { delete empty.CopyTree(); }), kEmptyExpression, -1, -1));
    NodePtr derivative(empty.Derivative("x", nullptr));
    EXPECT_EQ(Shape(derivative.get()), "0");

    const FunctionInterpreter other("x");
    const FunctionInterpreter alsoEmpty(static_cast<Parser*>(nullptr));
    EXPECT_TRUE(empty.IsSameAsExpression(&alsoEmpty));
    EXPECT_FALSE(empty.IsSameAsExpression(&other));
    EXPECT_FALSE(other.IsSameAsExpression(&empty));
    EXPECT_TRUE(other.DiffersFromExpression(&empty));
}

TEST(Comparison, ExpressionsCompareTheirTrees)
{
    const FunctionInterpreter a("x + 1");
    const FunctionInterpreter b("=x+1");
    const FunctionInterpreter c("1 + x");
    EXPECT_TRUE(a.IsSameAsExpression(&b));
    EXPECT_TRUE(a.DiffersFromExpression(&c));
    NodePtr copy(a.CopyTree());
    EXPECT_TRUE(a.IsSameAs(copy.get())); // as a node it compares its root
    EXPECT_TRUE(HasError(ErrorFrom([&] { delete a.Clone(); }), kNoDerivative, -1, -1));
}

TEST(ReplaceChild, SwapsTheRootAndAttachesTheNewTree)
{
    FunctionInterpreter expression("x");
    Constant stranger(1);
    Constant candidate(2);
    EXPECT_FALSE(expression.ReplaceChild(&stranger, &candidate));
    Parser* replacement = new Variable("fresh");
    EXPECT_TRUE(expression.ReplaceChild(const_cast<Parser*>(expression.Root()), replacement));
    EXPECT_EQ(replacement->parent, &expression);
    double value = 4;
    EXPECT_TRUE(expression.BindValueSlotByName("fresh", &value));
    EXPECT_EQ(expression.Evaluate(), 4.0);
}

} // namespace
