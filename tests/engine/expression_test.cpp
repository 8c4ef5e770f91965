#include "test_support.h"

namespace {

std::vector<std::string> TableOf(const FunctionInterpreter& expression)
{
    std::vector<std::string> names;
    for (int i = 0; i < expression.VariableCount(); ++i)
        names.push_back(expression.VariableName(i));
    return names;
}

TEST(VariablesTable, ListsNamesInOrderOfFirstUseAndRefusesOthers)
{
    using Names = std::vector<std::string>;
    EXPECT_EQ(TableOf(FunctionInterpreter("x*y + x")), (Names{"x", "y"}));
    EXPECT_EQ(TableOf(FunctionInterpreter("y + x*y")), (Names{"y", "x"}));
    EXPECT_EQ(TableOf(FunctionInterpreter("c ? b : X")), (Names{"c", "b", "X"}));
    // Simplification removes x and y from the tree, not from the table.
    const FunctionInterpreter folded("x - x + y * 0");
    EXPECT_EQ(TableOf(folded), (Names{"x", "y"}));
    EXPECT_EQ(folded.Root()->parent, &folded);
    // Unknown indices, names and storage are refused.
    FunctionInterpreter expression("x + y");
    double value = 1;
    EXPECT_FALSE(expression.BindValueSlot(2, &value));
    EXPECT_FALSE(expression.BindValueSlot(-1, &value));
    EXPECT_FALSE(expression.BindValueSlotByName("Y", &value));
    EXPECT_EQ(expression.VariableName(2), nullptr);
    EXPECT_EQ(expression.FindOrAddVariable("y"), 1);
    EXPECT_TRUE(Raises([&] { expression.ValueSlotByName("z"); }, kUnknownVariable));
    // A variable without storage must never be read through a null pointer.
    FunctionInterpreter neverBound("x + 1");
    EXPECT_TRUE(Raises([&] { neverBound.Evaluate(); }, kUnknownVariable));
    FunctionInterpreter boundToNothing("x == 2 || y");
    double x = 3;
    boundToNothing.BindValueSlotByName("x", &x);
    boundToNothing.BindValueSlotByName("y", nullptr);
    EXPECT_TRUE(Raises([&] { boundToNothing.Evaluate(); }, kUnknownVariable));
    x = 2; // short-circuiting spares the variable that has no storage
    EXPECT_EQ(boundToNothing.Evaluate(), 1.0);
    const Variable unattached("x");
    EXPECT_TRUE(Raises([&] { unattached.Evaluate(); }, kUnknownVariable));
}

TEST(Expression, AdoptsComparesAndRefusesWithoutATree)
{
    const FunctionInterpreter source("x*x");
    const FunctionInterpreter adopted(source.Derivative("x", nullptr));
    EXPECT_EQ(TableOf(adopted), std::vector<std::string>{"x"});
    // LeakSanitizer reports the branches if they were not deleted.
    Parser* lonelyBranches = new ThenElseOperator(new Variable("a"), new Variable("b"));
    EXPECT_TRUE(Raises([&] { FunctionInterpreter refused(lonelyBranches); }, kMissingQuestionMark));
    FunctionInterpreter empty(static_cast<Parser*>(nullptr));
    EXPECT_TRUE(Raises([&] { empty.Evaluate(); }, kEmptyExpression));
    EXPECT_TRUE(Raises([&] { delete[] empty.Print(); }, kEmptyExpression));
    EXPECT_TRUE(Raises([&] { delete empty.CopyTree(); }, kEmptyExpression));
    NodePtr derivative(empty.Derivative("x", nullptr));
    EXPECT_EQ(Shape(derivative.get()), "0");
    const FunctionInterpreter alsoEmpty(static_cast<Parser*>(nullptr));
    EXPECT_TRUE(empty.IsSameAsExpression(&alsoEmpty));
    const FunctionInterpreter a("x + 1"), b("=x+1"), c("1 + x");
    EXPECT_TRUE(a.IsSameAsExpression(&b));
    EXPECT_TRUE(a.DiffersFromExpression(&c));
    NodePtr copy(a.CopyTree());
    EXPECT_TRUE(a.IsSameAs(copy.get())); // as a node it compares its root
    EXPECT_TRUE(Raises([&] { delete a.Clone(); }, kNoDerivative));
}

} // namespace
