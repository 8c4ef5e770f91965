#pragma once

#include <cstdint>

// The one error record of the engine. It is thrown by value and caught by reference; `from` and
// `to` are character offsets into the formula text, or -1 when the error is not tied to text.
struct ParseErrorMsg
{
    int32_t code;
    int32_t from;
    int32_t to;
};

// The error codes the engine raises; each has a fixed message in the table.
enum ParseErrorCode : int32_t
{
    kDivisionByZero = 0,
    kSqrtOfNegative = 1,
    kLogOfNegative = 2,
    kLnOfNegative = 3,
    kOutOfMemory = 4,
    kArcSineDomain = 5,
    kArcCosineDomain = 6,
    kArcSecantDomain = 7,
    kArcCosecantDomain = 8,
    kArcCotangentOfZero = 9,
    kNoDerivative = 10,
    kTangentInfinite = 11,
    kCotangentInfinite = 12,
    kSecantInfinite = 13,
    kCosecantInfinite = 14,
    kHyperbolicTangentInfinite = 15,
    kHyperbolicSecantInfinite = 16,
    kHyperbolicCosecantInfinite = 17,
    kHyperbolicCotangentInfinite = 18,
    kUnknownVariable = 19,
    kEmptyExpression = 20,
    kOperatorAnticipated = 21,
    kSyntaxError = 22,
    kUnbalancedParenthesis = 23,
    kUnknownFunction = 24,
    kUnknownOperator = 25,
    kMissingQuestionMark = 26,
    kMissingColon = 27,
    kErrorMessageCount // sentinel: the size of the message table
};

// The user-visible message of an error code; "Unknown Error Type!" for a code without an entry.
const char* ErrorMessage(int code);

// Whether the message table has an entry for `code`.
bool HasErrorMessage(int code);

// Throws the record; every failure of the engine ends here.
[[noreturn]] void ThrowParseError(int code, int from, int to);
