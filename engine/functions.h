#pragma once

#include "node_math.h"
#include "parse_tables.h"
#include "parser.h"

// The base of the one-operand function nodes: owns the operand and implements everything but the
// value, the code and the derivative once for all of them.
class FunctionParser : public Parser
{
public:
    // Adopts a built operand; raises kEmptyExpression for a null one.
    explicit FunctionParser(Parser* argument);
    // Parses the call's operand text, from its "(" to its ")" inclusive.
    explicit FunctionParser(TextSpan& span);
    ~FunctionParser() override;

    double Evaluate() const override;
    int16_t Precedence() const override;
    bool ReplaceChild(Parser* old, Parser* replacement) override;
    void Attach(FunctionInterpreter* owner) override;
    void Simplify() override;
    void PrintTo(std::string& out) const override;
    Parser* Clone() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    bool SameWhen(const Parser* other, ConstantTest isConstant) const override;

    virtual int FunctionCode() const;

    Parser* argument = nullptr;

protected:
    // The pieces every chain rule is built from: a fresh copy of the operand, and its derivative.
    NodePtr CopyOfArgument() const;
    NodePtr DerivativeOfArgument(const char* wrt, const IndependentSet* independents) const;
};

class LnFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnLn; }
};

class LogFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnLog; }
};

class ExpFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnExp; }
};

class AbsFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    int FunctionCode() const override { return kFnAbs; }
};

class SqrtFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnSqrt; }
};

// The unary minus.
class NegFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnNeg; }
};

class SinFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnSin; }
};

class CosFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnCos; }
};

class TanFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnTan; }
};

class SecFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnSec; }
};

class CscFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnCsc; }
};

class CotFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnCot; }
};

class ArcSinFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnAsin; }
};

class ArcCosFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnAcos; }
};

class ArcTanFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnAtan; }
};

class ArcSecFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnAsec; }
};

class ArcCscFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnAcsc; }
};

class ArcCotFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnAcot; }
};

class HSinFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnSinh; }
};

class HCosFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnCosh; }
};

class HTanFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnTanh; }
};

class HSecFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnSech; }
};

class HCscFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnCsch; }
};

class HCotFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int FunctionCode() const override { return kFnCoth; }
};

// The logical not, written "!".
class NotFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    int FunctionCode() const override { return kFnNot; }
};

// The complement of the operand's 32-bit integer view, written "~".
class BitwiseCompliment final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    int FunctionCode() const override { return kFnComplement; }
};

class CeilingFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    int FunctionCode() const override { return kFnCeil; }
};

class FloorFunction final : public FunctionParser
{
public:
    using FunctionParser::FunctionParser;
    double Evaluate() const override;
    int FunctionCode() const override { return kFnFloor; }
};

// A draw from 0 to a scale: RAND() draws from [0, 1], RAND(s) from [0, s]. A constant operand is
// folded into `scale` when the node is built, so `argument` is either null or not constant.
class RandomFunction final : public Parser
{
public:
    explicit RandomFunction(Parser* argument);
    explicit RandomFunction(TextSpan& span);
    ~RandomFunction() override;

    double Evaluate() const override;
    int16_t Precedence() const override;
    bool ReplaceChild(Parser* old, Parser* replacement) override;
    void Attach(FunctionInterpreter* owner) override;
    void PrintTo(std::string& out) const override;
    Parser* Clone() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    bool SameWhen(const Parser* other, ConstantTest isConstant) const override;

    Parser* argument = nullptr;
    double scale = 1.0;

private:
    // Takes `operand` over, or folds it into `scale` when it is constant; when its evaluation
    // fails the operand stays the caller's.
    void AdoptOrFold(Parser* operand);
};
