#pragma once

#include <cstdint>

// Operator codes: the index into the operator table.
enum OperatorCodes : int
{
    kOpNone = 0,
    kOpUnaryPlus = 1,
    kOpUnaryMinus = 2,
    kOpPlus = 3,
    kOpMinus = 4,
    kOpMultiply = 5,
    kOpDivide = 6,
    kOpModulus = 7,
    kOpPower = 8,
    kOpLess = 9,
    kOpGreater = 10,
    kOpEqual = 11,
    kOpNotEqual = 12,
    kOpLessOrEqual = 13,
    kOpGreaterOrEqual = 14,
    kOpAnd = 15,
    kOpOr = 16,
    kOpNot = 17,
    kOpBitwiseAnd = 18,
    kOpBitwiseOr = 19,
    kOpBitwiseXor = 20,
    kOpComplement = 21,
    kOpThenElse = 22,
    kOpIf = 23,
    kOpEnd = 24,
    kOperatorTableSize = 25
};

// Function codes: the index into the function table.
enum FunctionCodes : int
{
    kFnNone = 0,
    kFnLn = 1,
    kFnLog = 2,
    kFnExp = 3,
    kFnAbs = 4,
    kFnSqrt = 5,
    kFnNeg = 6,
    kFnRand = 7,
    kFnSin = 8,
    kFnCos = 9,
    kFnTan = 10,
    kFnSec = 11,
    kFnCsc = 12,
    kFnCot = 13,
    kFnAsin = 14,
    kFnAcos = 15,
    kFnAtan = 16,
    kFnAsec = 17,
    kFnAcsc = 18,
    kFnAcot = 19,
    kFnSinh = 20,
    kFnCosh = 21,
    kFnTanh = 22,
    kFnSech = 23,
    kFnCsch = 24,
    kFnCoth = 25,
    kFnNot = 26,
    kFnComplement = 27,
    kFnCeil = 28,
    kFnFloor = 29,
    kFunctionTableSize = 30,
    kFnUnknown = 30 // a call of a name that is not in the table
};

// The token each operator code is written and printed as ("??" for codes without an operator).
extern const char kOperatorText[kOperatorTableSize][3];
// Binding strength per operator code; lower binds more loosely.
extern const int16_t kOperatorPrecedence[kOperatorTableSize];

// Upper-case function keywords, NUL-padded, indexed by function code.
extern const char kFunctionNames[kFunctionTableSize][6];

constexpr int kNamedConstantCount = 4;
extern const char kNamedConstantNames[kNamedConstantCount][6];
extern const double kNamedConstantValues[kNamedConstantCount];

// Precedence of leaves and of function nodes, used when printing.
constexpr int16_t kLeafPrecedence = 15;
constexpr int16_t kFunctionPrecedence = 13;
