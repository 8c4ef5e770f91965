#include "parser.h"

#include <cstring>

IndependentSet::IndependentSet(std::initializer_list<const char*> initial)
{
    for (const char* name : initial)
        Add(name);
}

void IndependentSet::Add(const char* name)
{
    names.emplace(name);
}

bool IndependentSet::Contains(const char* name) const
{
    return name && names.find(std::string_view(name)) != names.end();
}

char* CopyText(const char* text)
{
    const size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

double Parser::Evaluate() const
{
    return 0.0;
}

bool Parser::IsLiteral() const
{
    return false;
}

bool Parser::IsConstant() const
{
    return ConstantWhen(&AskIsConstant);
}

int16_t Parser::Precedence() const
{
    return 0;
}

bool Parser::ReplaceChild(Parser*, Parser*)
{
    return false;
}

void Parser::Attach(FunctionInterpreter*) {}

void Parser::Simplify() {}

char* Parser::Print() const
{
    std::string text;
    PrintTo(text);
    char* copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

void Parser::PrintTo(std::string& out) const
{
    out += "NULL PARSER";
}

Parser* Parser::Derivative(const char*, const IndependentSet*) const
{
    ThrowParseError(kNoDerivative, -1, -1);
}

Parser* Parser::Clone() const
{
    ThrowParseError(kNoDerivative, -1, -1);
}

bool Parser::DiffersFrom(const Parser* other) const
{
    return !IsSameAs(other);
}

bool Parser::IsSameAs(const Parser* other) const
{
    return SameWhen(other, &AskIsConstant);
}

Parser::~Parser() = default;

bool Parser::ConstantWhen(ConstantTest) const
{
    return true;
}

bool Parser::SameWhen(const Parser*, ConstantTest) const
{
    return false;
}

void Parser::RaiseError(int code, int from, int to) const
{
    ThrowParseError(code, from, to);
}
