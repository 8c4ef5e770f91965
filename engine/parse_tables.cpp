#include "parse_tables.h"

const char kOperatorText[kOperatorTableSize][3] = {
    "??", "+",  "-",  "+",  "-", "*", "/", "%",  "^", "<", ">", "==", "!=",
    "<=", ">=", "&&", "||", "!", "&", "|", "!&", "~", ":", "?", "??",
};

const int16_t kOperatorPrecedence[kOperatorTableSize] = {
    0, 14, 14, 10, 10, 11, 11, 11, 12, 9, 9, 8, 8, 9, 9, 4, 3, 13, 7, 5, 6, 13, 2, 1, 0,
};

const char kFunctionNames[kFunctionTableSize][6] = {
    "???",  "LN",   "LOG",  "EXP",  "ABS",  "SQRT", "NEG",  "RAND", "SIN",  "COS",
    "TAN",  "SEC",  "CSC",  "COT",  "ASIN", "ACOS", "ATAN", "ASEC", "ACSC", "ACOT",
    "SINH", "COSH", "TANH", "SECH", "CSCH", "COTH", "!",    "~",    "CEIL", "FLOOR",
};

const char kNamedConstantNames[kNamedConstantCount][6] = {"PI", "E", "TRUE", "FALSE"};

const double kNamedConstantValues[kNamedConstantCount] = {
    3.141592653589793,
    2.718281828459045,
    1.0,
    0.0,
};
