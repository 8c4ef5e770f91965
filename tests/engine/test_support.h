#pragma once

#include "engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <typeinfo>

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A formula whose variables read values owned here. `expression` compiles it; a raw tree is kept
// exactly as parsed, nothing folded, with `expression` serving only as its variables table.
class Bound
{
public:
    explicit Bound(Parser* adopted) : expression(adopted) {}
    explicit Bound(const char* formula, bool raw = false) : expression(raw ? "0" : formula)
    {
        TextSpan span{formula, formula, formula + std::strlen(formula) - 1, &expression};
        Parser* parsed = nullptr;
        if (raw) expression.Parse(span, &parsed);
        tree.reset(parsed);
    }
    Bound& Set(const char* name, double value)
    {
        values[name] = value;
        expression.BindValueSlotByName(name, &values[name]);
        return *this;
    }
    double Evaluate() const { return expression.Evaluate(); }
    Parser* operator->() const { return tree.get(); }
    Parser* get() const { return tree.get(); }

    FunctionInterpreter expression;

private:
    std::map<std::string, double> values;
    NodePtr tree;
};

struct RawTree : Bound
{
    explicit RawTree(const char* formula) : Bound(formula, true) {}
};

// The class structure of a tree, such as "Plus(1, Multiply(2, x))". A child that does not name
// its node as parent is marked "^orphan": simplification and printing rely on that link.
inline std::string Shape(const Parser* node)
{
    if (!node) return "";
    if (auto* constant = dynamic_cast<const Constant*>(node)) {
        std::ostringstream text;
        text.precision(17);
        text << constant->value;
        return text.str();
    }
    if (auto* variable = dynamic_cast<const Variable*>(node)) return variable->Name();
    if (auto* expression = dynamic_cast<const FunctionInterpreter*>(node))
        return Shape(expression->Root());
    auto of = [node](const Parser* child) {
        return Shape(child) + (child && child->parent != node ? "^orphan" : "");
    };
    // The class name without its family suffix: "Plus" for a PlusOperator ("12PlusOperator").
    std::string text = typeid(*node).name();
    text.erase(0, text.find_first_not_of("0123456789"));
    for (const std::string suffix : {"Operator", "Function"})
        if (text.size() > suffix.size() && text.substr(text.size() - suffix.size()) == suffix)
            text.resize(text.size() - suffix.size());
    if (auto* random = dynamic_cast<const RandomFunction*>(node))
        return text + "(" + of(random->argument) + ")";
    if (auto* function = dynamic_cast<const FunctionParser*>(node))
        return text + "(" + of(function->argument) + ")";
    if (auto* op = dynamic_cast<const OperationParser*>(node))
        return text + "(" + of(op->left) + ", " + of(op->right) + ")";
    return "<" + text + ">";
}

inline std::string PrintOf(const Parser* node)
{
    return PrintedText(node->Print()).get();
}

inline std::string Repeat(const std::string& piece, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

// The record thrown by `action`, or nothing when it throws none.
inline std::optional<ParseErrorMsg> ErrorFrom(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ParseErrorMsg& error) {
        return error;
    }
    return std::nullopt;
}

inline std::optional<ParseErrorMsg> CompileError(const char* formula)
{
    return ErrorFrom([formula] { FunctionInterpreter expression(formula); });
}

inline testing::AssertionResult HasError(const std::optional<ParseErrorMsg>& error, int code,
                                         int from = -1, int to = -1)
{
    if (!error) return testing::AssertionFailure() << "no error raised";
    if (error->code == code && error->from == from && error->to == to)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "raised " << error->code << " (" << error->from << ", " << error->to << "), expected "
           << code << " (" << from << ", " << to << ")";
}

// Whether `action` throws `code`, tied to no text.
inline testing::AssertionResult Raises(const std::function<void()>& action, int code)
{
    return HasError(ErrorFrom(action), code);
}
