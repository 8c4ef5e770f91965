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
    return true;
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
    return CopyText("NULL PARSER");
}

Parser* Parser::Derivative(const char*, const IndependentSet*) const
{
    ThrowParseError(kNoDerivative, -1, -1);
}

Parser* Parser::Clone() const
{
    ThrowParseError(kNoDerivative, -1, -1);
}

bool Parser::DiffersFrom(const Parser*) const
{
    return true;
}

bool Parser::IsSameAs(const Parser*) const
{
    return false;
}

Parser::~Parser() = default;

void Parser::RaiseError(int code, int from, int to) const
{
    ThrowParseError(code, from, to);
}
