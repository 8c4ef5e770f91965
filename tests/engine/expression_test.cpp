// The expression object: its variables table, binding to caller storage, and its forwarding of
// the tree operations.

#include "test_support.h"

#include <cmath>

namespace {

std::vector<std::string> TableOf(const FunctionInterpreter& expression)
{
    std::vector<std::string> names;
    for (int i = 0; i < expression.VariableCount(); ++i)
        names.push_back(expression.VariableName(i));
    return names;
}

TEST(VariablesTable, ListsNamesInOrderOfFirstOccurrence)
{
    using Names = std::vector<std::string>;
    EXPECT_EQ(TableOf(FunctionInterpreter("x*y + x")), (Names{"x", "y"}));
    EXPECT_EQ(TableOf(FunctionInterpreter("y + x*y")), (Names{"y", "x"}));
    EXPECT_EQ(TableOf(FunctionInterpreter("x + X")), (Names{"x", "X"}));
    EXPECT_EQ(TableOf(FunctionInterpreter("c ? b : a")), (Names{"c", "b", "a"}));
    EXPECT_EQ(TableOf(FunctionInterpreter("pi * e")), (Names{}));
}

TEST(VariablesTable, KeepsNamesThatSimplificationRemoved)
{
    const FunctionInterpreter expression("x - x + y * 0");
    EXPECT_EQ(TableOf(expression), (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(expression.Root()->IsLiteral());
    EXPECT_EQ(expression.Evaluate(), 0.0);
}

TEST(VariablesTable, LookupsAndBindingRefuseUnknownEntries)
{
    FunctionInterpreter expression("x + y");
    double value = 1;
    EXPECT_FALSE(expression.BindValueSlot(5, &value));
    EXPECT_FALSE(expression.BindValueSlot(-1, &value));
    EXPECT_FALSE(expression.BindValueSlotByName("z", &value));
    EXPECT_EQ(expression.VariableName(2), nullptr);
    EXPECT_EQ(expression.VariableName(-1), nullptr);
    EXPECT_EQ(expression.FindVariable("Y"), -1);
    EXPECT_EQ(expression.FindVariable("y"), 1);
    EXPECT_TRUE(
        HasError(ErrorFrom([&] { expression.ValueSlotByName("z"); }), kUnknownVariable, -1, -1));
    EXPECT_TRUE(HasError(ErrorFrom([&] { delete expression.DerivativeByIndex(2, nullptr); }),
                         kUnknownVariable, -1, -1));
}

TEST(VariablesTable, FindOrAddAppendsOnlyNewNames)
{
    FunctionInterpreter expression("a");
    EXPECT_EQ(expression.FindOrAddVariable("a"), 0);
    EXPECT_EQ(expression.FindOrAddVariable("b"), 1);
    EXPECT_EQ(expression.FindOrAddVariable("b"), 1);
    EXPECT_EQ(expression.VariableCount(), 2);
}

TEST(Binding, EvaluationReadsTheCallersStorageEachTime)
{
    FunctionInterpreter expression("x*y + x");
    double x = 2;
    double y = 3;
    ASSERT_TRUE(expression.BindValueSlotByName("x", &x));
    ASSERT_TRUE(expression.BindValueSlot(expression.FindVariable("y"), &y));
    EXPECT_EQ(expression.Evaluate(), 8.0);
    x = 1;
    EXPECT_EQ(expression.Evaluate(), 4.0);
    EXPECT_EQ(expression.ValueSlotByName("x"), &x);
}

TEST(Binding, ManyExpressionsShareOneSlot)
{
    FunctionInterpreter sum("x + y");
    FunctionInterpreter difference("x - y");
    double x = 2;
    double y = 1;
    for (FunctionInterpreter* expression : {&sum, &difference}) {
        expression->BindValueSlotByName("x", &x);
        expression->BindValueSlotByName("y", &y);
    }
    EXPECT_EQ(sum.Evaluate(), 3.0);
    EXPECT_EQ(difference.Evaluate(), 1.0);
    x = 5;
    EXPECT_EQ(sum.Evaluate(), 6.0);
    EXPECT_EQ(difference.Evaluate(), 4.0);
}

// A variable without storage must never be read through a null pointer.
TEST(Binding, AnUnboundVariableRaisesUnknownVariable)
{
    FunctionInterpreter neverBound("x + 1");
    EXPECT_TRUE(HasError(ErrorFrom([&] { neverBound.Evaluate(); }), kUnknownVariable, -1, -1));

    FunctionInterpreter boundToNothing("x * y");
    double x = 2;
    boundToNothing.BindValueSlotByName("x", &x);
    boundToNothing.BindValueSlotByName("y", nullptr);
    EXPECT_TRUE(HasError(ErrorFrom([&] { boundToNothing.Evaluate(); }), kUnknownVariable, -1, -1));

    // Short-circuiting still spares a variable that is not needed.
    FunctionInterpreter spared("x == 2 || y");
    spared.BindValueSlotByName("x", &x);
    EXPECT_EQ(spared.Evaluate(), 1.0);

    Variable unattached("x");
    EXPECT_TRUE(HasError(ErrorFrom([&] { unattached.Evaluate(); }), kUnknownVariable, -1, -1));
}

TEST(Construction, ConstantFormulasFoldIntoALiteral)
{
    const FunctionInterpreter product("2*3");
    ASSERT_TRUE(product.Root()->IsLiteral());
    EXPECT_EQ(product.Evaluate(), 6.0);
    EXPECT_EQ(product.Root()->parent, &product);
    EXPECT_TRUE(product.IsConstant());
    EXPECT_FALSE(product.IsLiteral());
    EXPECT_EQ(product.Precedence(), 0);
}

TEST(Construction, TreeFormAdoptsAndSimplifiesATree)
{
    const FunctionInterpreter source("x*x");
    FunctionInterpreter derivative(source.Derivative("x", nullptr));
    EXPECT_EQ(TableOf(derivative), std::vector<std::string>{"x"});
    EXPECT_EQ(PrintOf(&derivative), "= 2 * x");
    double x = 3;
    derivative.BindValueSlotByName("x", &x);
    EXPECT_EQ(derivative.Evaluate(), 6.0);
}

TEST(Construction, TreeFormThatFailsDeletesTheTree)
{
    Parser* lonelyBranches = new ThenElseOperator(new Variable("a"), new Variable("b"));
    EXPECT_TRUE(HasError(ErrorFrom([&] { FunctionInterpreter adopted(lonelyBranches); }),
                         kMissingQuestionMark, -1, -1));
    // LeakSanitizer reports the branches if they were not deleted.
}

TEST(EmptyExpression, HasNoTreeToEvaluatePrintOrCopy)
{
    FunctionInterpreter empty(static_cast<Parser*>(nullptr));
    EXPECT_EQ(empty.VariableCount(), 0);
    EXPECT_TRUE(empty.IsConstant());
    EXPECT_TRUE(HasError(ErrorFrom([&] { empty.Evaluate(); }), kEmptyExpression, -1, -1));
    EXPECT_TRUE(HasError(ErrorFrom([&] { delete[] empty.Print(); }), kEmptyExpression, -1, -1));
    EXPECT_TRUE(HasError(ErrorFrom([&] { delete empty.CopyTree(); }), kEmptyExpression, -1, -1));
    NodePtr derivative(empty.Derivative("x", nullptr));
    EXPECT_EQ(Shape(derivative.get()), "0");

    const FunctionInterpreter other("x");
    const FunctionInterpreter alsoEmpty(static_cast<Parser*>(nullptr));
    EXPECT_TRUE(empty.DiffersFromExpression(&other));
    EXPECT_FALSE(empty.IsSameAsExpression(&other));
    EXPECT_FALSE(empty.DiffersFromExpression(&alsoEmpty));
    EXPECT_TRUE(empty.IsSameAsExpression(&alsoEmpty));
    EXPECT_TRUE(other.DiffersFromExpression(&empty));
    EXPECT_FALSE(other.IsSameAsExpression(&empty));
}

TEST(Comparison, ExpressionsCompareTheirTrees)
{
    const FunctionInterpreter a("x + 1");
    const FunctionInterpreter b("=x+1");
    const FunctionInterpreter c("1 + x");
    EXPECT_TRUE(a.IsSameAsExpression(&b));
    EXPECT_FALSE(a.DiffersFromExpression(&b));
    EXPECT_FALSE(a.IsSameAsExpression(&c));
    EXPECT_TRUE(a.DiffersFromExpression(&c));
    // As a node, the expression object compares its root with another node.
    NodePtr copy(a.CopyTree());
    EXPECT_TRUE(a.IsSameAs(copy.get()));
    EXPECT_FALSE(a.DiffersFrom(copy.get()));
    EXPECT_FALSE(a.IsSameAs(nullptr));
}

TEST(Comparison, ExpressionObjectIsNotCopiedAsANode)
{
    const FunctionInterpreter expression("x");
    EXPECT_TRUE(HasError(ErrorFrom([&] { delete expression.Clone(); }), kNoDerivative, -1, -1));
}

TEST(ReplaceChild, SwapsTheRootAndAttachesTheNewTree)
{
    FunctionInterpreter expression("x");
    Constant stranger(1);
    Constant candidate(2);
    EXPECT_FALSE(expression.ReplaceChild(&stranger, &candidate));
    EXPECT_EQ(Shape(expression.Root()), "x");

    Parser* replacement = new Variable("fresh");
    EXPECT_TRUE(expression.ReplaceChild(const_cast<Parser*>(expression.Root()), replacement));
    EXPECT_EQ(expression.Root(), replacement);
    EXPECT_EQ(replacement->parent, &expression);
    EXPECT_EQ(expression.FindVariable("fresh"), 1);
    double value = 4;
    expression.BindValueSlotByName("fresh", &value);
    EXPECT_EQ(expression.Evaluate(), 4.0);
}

} // namespace
