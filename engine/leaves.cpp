#include "leaves.h"

#include "function_interpreter.h"
#include "parse_tables.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <typeinfo>

// ---- Constant --------------------------------------------------------------------------------

Constant::Constant(double number) : value(number) {}

bool Constant::IsLiteral() const
{
    return true;
}

bool Constant::ConstantWhen(ConstantTest) const
{
    return true;
}

int16_t Constant::Precedence() const
{
    return kLeafPrecedence;
}

void Constant::PrintTo(std::string& out) const
{
    // "%1.3g" as the C locale writes it, whatever the process locale is: 0.5 never becomes "0,5".
    char text[16];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 3);
    out.append(text, result.ptr);
}

Parser* Constant::Derivative(const char*, const IndependentSet*) const
{
    return new Constant(0.0);
}

Parser* Constant::Clone() const
{
    return new Constant(value);
}

bool Constant::SameWhen(const Parser* other, ConstantTest) const
{
    return other && typeid(*other) == typeid(Constant) && other->Evaluate() == value;
}

// ---- Variable --------------------------------------------------------------------------------

Variable::Variable(const char* variableName) : name(variableName ? CopyText(variableName) : nullptr)
{
}

Variable::Variable(const TextSpan& span)
{
    const size_t length = static_cast<size_t>(span.end - span.begin + 1);
    PrintedText copy(new char[length + 1]);
    std::memcpy(copy.get(), span.begin, length);
    copy[length] = '\0';
    Register(span.owner, copy.get());
    name = copy.release();
}

Variable::~Variable()
{
    delete[] name;
}

double Variable::Evaluate() const
{
    // A variable that nobody attached, or whose entry was never bound, has no value to read.
    const double* slot = entry ? entry->valueSlot : nullptr;
    if (!slot) RaiseError(kUnknownVariable, -1, -1);
    return *slot;
}

bool Variable::ConstantWhen(ConstantTest) const
{
    return false;
}

int16_t Variable::Precedence() const
{
    return kLeafPrecedence;
}

void Variable::Attach(FunctionInterpreter* newOwner)
{
    Register(newOwner, name);
}

void Variable::Register(FunctionInterpreter* newOwner, const char* variableName)
{
    owner = newOwner;
    index = owner && variableName ? owner->FindOrAddVariable(variableName) : -1;
    entry = index >= 0 ? owner->Entry(index) : nullptr;
}

void Variable::PrintTo(std::string& out) const
{
    out += name ? name : "variable name???";
}

Parser* Variable::Derivative(const char* wrt, const IndependentSet* independents) const
{
    if (!name || !wrt) RaiseError(kEmptyExpression, -1, -1);
    if (std::strcmp(name, wrt) == 0) return new Constant(1.0);
    if (independents && !independents->Contains(name)) {
        // A quantity that depends on the independents: its partial derivative is a new variable.
        const std::string partial = std::string("P_") + name + "_" + wrt;
        return new Variable(partial.c_str());
    }
    return new Constant(0.0);
}

Parser* Variable::Clone() const
{
    return new Variable(name);
}

bool Variable::SameWhen(const Parser* other, ConstantTest) const
{
    if (!other || typeid(*other) != typeid(Variable)) return false;
    const char* otherName = static_cast<const Variable*>(other)->name;
    if (!name || !otherName) return !name && !otherName;
    return std::strcmp(name, otherName) == 0;
}
