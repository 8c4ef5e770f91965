#pragma once

#include "engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A tree exactly as the parser builds it (nothing folded or simplified). Its variables are
// registered in an expression object that serves only as their table, so the tree evaluates
// once values are bound with Set.
class RawTree
{
public:
    explicit RawTree(const char* formula);

    Parser* operator->() const { return tree.get(); }
    Parser* get() const { return tree.get(); }
    void Set(const char* name, double value);

private:
    FunctionInterpreter table{"0"};
    std::map<std::string, double> values;
    NodePtr tree;
};

// An expression object whose variables all read values owned by this object.
class Bound
{
public:
    explicit Bound(const char* formula) : expression(formula) {}
    explicit Bound(Parser* tree) : expression(tree) {}

    Bound& Set(const char* name, double value);
    double Evaluate() const { return expression.Evaluate(); }

    FunctionInterpreter expression;

private:
    std::map<std::string, double> values;
};

// The class structure of a tree, such as "Plus(1, Multiply(2, x))".
std::string Shape(const Parser* node);

// Print's text as a string.
std::string PrintOf(const Parser* node);

// `piece` written `count` times.
std::string Repeat(const std::string& piece, int count);

// The record thrown by `action`, or nothing when it throws none.
std::optional<ParseErrorMsg> ErrorFrom(const std::function<void()>& action);

// The error a formula raises while it is compiled.
std::optional<ParseErrorMsg> CompileError(const char* formula);

// Matches a thrown record by its three numbers.
testing::AssertionResult HasError(const std::optional<ParseErrorMsg>& error, int code, int from,
                                  int to);
