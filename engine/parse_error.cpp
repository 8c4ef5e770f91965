#include "parse_error.h"

namespace {

const char* const kMessages[kErrorMessageCount] = {
    "Error: Division by zero.",
    "Error: Square root of a negative number is not allowed.",
    "Error: Log of a negative number is not allowed.",
    "Error: Ln of a negative number is not allowed.",
    "Error: Out of Memory.",
    "Error: ArcSine of a |number| > 1 not allowed.",
    "Error: ArcCosine of a |number| > 1 not allowed.",
    "Error: ArcSecant of a |number| < 1 not allowed.",
    "Error: ArcCosecant of a |number| < 1 not allowed.",
    "Error: ArcTangent of 0 not allowed.",
    "Error: It is not possible to find a derivative for this expression.",
    "Error: Tangent of (2n+1)*pi/2 is infinite.",
    "Error: Cotangent of n*pi/2 is infinite.",
    "Error: Secant of (2n+1)*pi/2 is infinite.",
    "Error: Cosecant of n*pi/2 is infinite.",
    "Error: Infinite Hyperbolic Tangent.",
    "Error: Infinite Hyperbolic Secant.",
    "Error: Infinite Hyperbolic Cosecant.",
    "Error: Infinite Hyperbolic Cotangent.",
    "Error: Unknown variable.",
    "Syntax Error. Empty Expression.",
    "Syntax Error. Operator anticipated.",
    "Syntax Error.",
    "Error: Unbalanced parenthesis.",
    "Error: Unknown Function type.",
    "Error: Unknown Operator type.",
    "Error: Missing ? in ?: operator.",
    "Error: Missing : in ?: operator.",
};

} // namespace

bool HasErrorMessage(int code)
{
    return code >= 0 && code < kErrorMessageCount;
}

const char* ErrorMessage(int code)
{
    return HasErrorMessage(code) ? kMessages[code] : "Unknown Error Type!";
}

void ThrowParseError(int code, int from, int to)
{
    throw ParseErrorMsg{code, from, to};
}
