#pragma once

#include "parser.h"

struct VariableEntry;

// A number.
class Constant final : public Parser
{
public:
    explicit Constant(double value);

    double Evaluate() const override { return value; }
    bool IsLiteral() const override;
    int16_t Precedence() const override;
    void PrintTo(std::string& out) const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    Parser* Clone() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    bool SameWhen(const Parser* other, ConstantTest isConstant) const override;

    double value;
};

// A named value read through the value slot that its expression object keeps for it.
class Variable final : public Parser
{
public:
    // Unattached, for copies and derivatives.
    explicit Variable(const char* name);
    // The span's characters are the name; registers it with the span's owner when there is one.
    explicit Variable(const TextSpan& span);
    ~Variable() override;

    double Evaluate() const override;
    int16_t Precedence() const override;
    void Attach(FunctionInterpreter* owner) override;
    void PrintTo(std::string& out) const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    Parser* Clone() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    bool SameWhen(const Parser* other, ConstantTest isConstant) const override;

    const char* Name() const { return name; }
    int Index() const { return index; }

private:
    // Finds or adds the name in `newOwner`'s table (none when it is null).
    void Register(FunctionInterpreter* newOwner, const char* variableName);

    FunctionInterpreter* owner = nullptr;
    int index = -1;
    char* name = nullptr;
    const VariableEntry* entry = nullptr; // owner's entry at `index`, whose slot Evaluate reads
};
