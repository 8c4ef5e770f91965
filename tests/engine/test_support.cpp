#include "test_support.h"

#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <memory>
#include <sstream>
#include <typeinfo>

RawTree::RawTree(const char* formula)
{
    TextSpan span{formula, formula, formula + std::strlen(formula) - 1, &table};
    Parser* parsed = nullptr;
    table.Parse(span, &parsed);
    tree.reset(parsed);
}

void RawTree::Set(const char* name, double value)
{
    values[name] = value;
    table.BindValueSlotByName(name, &values[name]);
}

Bound& Bound::Set(const char* name, double value)
{
    values[name] = value;
    expression.BindValueSlotByName(name, &values[name]);
    return *this;
}

namespace {

// The node's class name without its family suffix: "Plus" for a PlusOperator, "Sin" for a
// SinFunction.
std::string ClassName(const Parser* node)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(typeid(*node).name(), nullptr, nullptr, &status), std::free);
    std::string text = name ? name.get() : typeid(*node).name();
    for (const char* suffix : {"Operator", "Function"})
        if (text.size() > std::strlen(suffix) &&
            text.compare(text.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
            text.resize(text.size() - std::strlen(suffix));
    return text;
}

} // namespace

std::string Shape(const Parser* node)
{
    if (!node) return "null";
    if (auto* constant = dynamic_cast<const Constant*>(node)) {
        std::ostringstream text;
        text.precision(17);
        text << constant->value;
        return text.str();
    }
    if (auto* variable = dynamic_cast<const Variable*>(node)) return variable->Name();
    if (auto* random = dynamic_cast<const RandomFunction*>(node))
        return "Random(" + (random->argument ? Shape(random->argument) : "") + ")";
    if (auto* function = dynamic_cast<const FunctionParser*>(node))
        return ClassName(node) + "(" + Shape(function->argument) + ")";
    if (auto* op = dynamic_cast<const OperationParser*>(node))
        return ClassName(node) + "(" + Shape(op->left) + ", " + Shape(op->right) + ")";
    if (auto* expression = dynamic_cast<const FunctionInterpreter*>(node))
        return Shape(expression->Root());
    return std::string("<") + typeid(*node).name() + ">";
}

std::string PrintOf(const Parser* node)
{
    const PrintedText text(node->Print());
    return text.get();
}

std::string Repeat(const std::string& piece, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

std::optional<ParseErrorMsg> ErrorFrom(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ParseErrorMsg& error) {
        return error;
    }
    return std::nullopt;
}

std::optional<ParseErrorMsg> CompileError(const char* formula)
{
    return ErrorFrom([formula] { FunctionInterpreter expression(formula); });
}

testing::AssertionResult HasError(const std::optional<ParseErrorMsg>& error, int code, int from,
                                  int to)
{
    if (!error) return testing::AssertionFailure() << "no error raised";
    if (error->code == code && error->from == from && error->to == to)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "raised " << error->code << " (" << error->from << ", " << error->to << "), expected "
           << code << " (" << from << ", " << to << ")";
}
