// The recursive splitter that turns formula text into a tree: strip blanks and enclosing
// parentheses, split at the loosest operator outside parentheses, otherwise read a function
// call, a number, a named constant or a variable.

#include "function_interpreter.h"
#include "functions.h"
#include "leaves.h"
#include "operators.h"
#include "parse_tables.h"

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

namespace {

// Character classes of the C locale, whatever the process locale is.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char ToUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// A set of characters as a table by byte value: the splitter asks about every character of a
// span at every level of nesting, so the test must cost one load.
class CharacterSet
{
public:
    constexpr explicit CharacterSet(const char* members) : contains{}
    {
        for (; *members; ++members)
            contains[static_cast<unsigned char>(*members)] = true;
    }
    constexpr bool operator()(char c) const { return contains[static_cast<unsigned char>(c)]; }

private:
    bool contains[256];
};

// The characters that may start an operator token.
constexpr CharacterSet IsOperatorStart("!%&*+-/:<=>?^|~");
// The characters after which a "+" or "-" is a sign rather than a binary operator.
constexpr CharacterSet IsSignContext("\t\n\r !%&(*+-/<=>^|~");

// The nearest non-blank character before `at` within the span, or null.
const char* NonBlankBefore(const TextSpan& span, const char* at)
{
    while (at > span.begin) {
        --at;
        if (!IsSpace(*at)) return at;
    }
    return nullptr;
}

// The nearest non-blank character after `at` within the span, or null.
const char* NonBlankAfter(const TextSpan& span, const char* at)
{
    for (const char* p = at + 1; p <= span.end; ++p)
        if (!IsSpace(*p)) return p;
    return nullptr;
}

bool StartsOperand(const char* p)
{
    return p && (IsLetter(*p) || IsDigit(*p) || *p == '.');
}

// A decimal number as strtod reads it: sign, digits with an optional point, optional exponent.
// Hexadecimal, infinity and not-a-number spellings are left to be variable names.
bool IsDecimalNumber(const char* p, const char* end)
{
    if (p <= end && (*p == '+' || *p == '-')) ++p;
    int digits = 0;
    while (p <= end && IsDigit(*p))
        ++p, ++digits;
    if (p <= end && *p == '.') {
        ++p;
        while (p <= end && IsDigit(*p))
            ++p, ++digits;
    }
    if (digits == 0) return false;
    if (p <= end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p <= end && (*p == '+' || *p == '-')) ++p;
        int exponentDigits = 0;
        while (p <= end && IsDigit(*p))
            ++p, ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return p == end + 1;
}

// strtod in the C locale, so that '1.5' reads the same under every process locale.
double ReadDecimal(const std::string& text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(text.c_str(), nullptr, cLocale);
}

template <class Node> Parser* FunctionFromNode(Parser* argument)
{
    return new Node(argument);
}

template <class Node> Parser* FunctionFromText(TextSpan& span)
{
    return new Node(span);
}

template <class Node> Parser* OperatorFromNodes(Parser* left, Parser* right)
{
    return new Node(left, right);
}

template <class Node> Parser* OperatorFromText(TextSpan& left, TextSpan& right)
{
    return new Node(left, right);
}

// How to build the node of each function code, from a built operand or from text.
struct FunctionMaker
{
    Parser* (*fromNode)(Parser*);
    Parser* (*fromText)(TextSpan&);
};

template <class Node> constexpr FunctionMaker FunctionMakerFor()
{
    return {&FunctionFromNode<Node>, &FunctionFromText<Node>};
}

const FunctionMaker kFunctionMakers[kFunctionTableSize] = {
    {nullptr, nullptr},
    FunctionMakerFor<LnFunction>(),
    FunctionMakerFor<LogFunction>(),
    FunctionMakerFor<ExpFunction>(),
    FunctionMakerFor<AbsFunction>(),
    FunctionMakerFor<SqrtFunction>(),
    FunctionMakerFor<NegFunction>(),
    FunctionMakerFor<RandomFunction>(),
    FunctionMakerFor<SinFunction>(),
    FunctionMakerFor<CosFunction>(),
    FunctionMakerFor<TanFunction>(),
    FunctionMakerFor<SecFunction>(),
    FunctionMakerFor<CscFunction>(),
    FunctionMakerFor<CotFunction>(),
    FunctionMakerFor<ArcSinFunction>(),
    FunctionMakerFor<ArcCosFunction>(),
    FunctionMakerFor<ArcTanFunction>(),
    FunctionMakerFor<ArcSecFunction>(),
    FunctionMakerFor<ArcCscFunction>(),
    FunctionMakerFor<ArcCotFunction>(),
    FunctionMakerFor<HSinFunction>(),
    FunctionMakerFor<HCosFunction>(),
    FunctionMakerFor<HTanFunction>(),
    FunctionMakerFor<HSecFunction>(),
    FunctionMakerFor<HCscFunction>(),
    FunctionMakerFor<HCotFunction>(),
    FunctionMakerFor<NotFunction>(),
    FunctionMakerFor<BitwiseCompliment>(),
    FunctionMakerFor<CeilingFunction>(),
    FunctionMakerFor<FloorFunction>(),
};

// How to build the node of each two-operand operator code.
struct OperatorMaker
{
    Parser* (*fromNodes)(Parser*, Parser*);
    Parser* (*fromText)(TextSpan&, TextSpan&);
};

template <class Node> constexpr OperatorMaker OperatorMakerFor()
{
    return {&OperatorFromNodes<Node>, &OperatorFromText<Node>};
}

const OperatorMaker kOperatorMakers[kOperatorTableSize] = {
    {nullptr, nullptr},
    {nullptr, nullptr},
    {nullptr, nullptr},
    OperatorMakerFor<PlusOperator>(),
    OperatorMakerFor<MinusOperator>(),
    OperatorMakerFor<MultiplyOperator>(),
    OperatorMakerFor<DivideOperator>(),
    OperatorMakerFor<ModulusOperator>(),
    OperatorMakerFor<PowerOperator>(),
    OperatorMakerFor<IsLessThanOperator>(),
    OperatorMakerFor<IsGreaterThanOperator>(),
    OperatorMakerFor<IsEqualToOperator>(),
    OperatorMakerFor<IsNotEqualToOperator>(),
    OperatorMakerFor<IsLessThanOrEqualToOperator>(),
    OperatorMakerFor<IsGreaterThanOrEqualToOperator>(),
    OperatorMakerFor<AndOperator>(),
    OperatorMakerFor<OrOperator>(),
    {nullptr, nullptr},
    OperatorMakerFor<BitwiseAndOperator>(),
    OperatorMakerFor<BitwiseInclusiveOrOperator>(),
    OperatorMakerFor<BitwiseExclusiveOrOperator>(),
    {nullptr, nullptr},
    OperatorMakerFor<ThenElseOperator>(),
    OperatorMakerFor<IfOperator>(),
    {nullptr, nullptr},
};

bool IsTwoOperandCode(int code)
{
    return code >= 0 && code < kOperatorTableSize && kOperatorMakers[code].fromNodes != nullptr;
}

// Codes that a call NAME( ... ) in the text can build; "!" and "~" are operators in text.
bool IsCallableFunctionCode(int code)
{
    return code >= kFnLn && code <= kFnFloor && code != kFnNot && code != kFnComplement;
}

} // namespace

// One operator token at `at`: its code, length and precedence; code 0 for a sign that belongs to
// an operand.
OperatorToken Parser::ScanOperator(const TextSpan& span, const char* at) const
{
    const char next = at < span.end ? at[1] : '\0';
    OperatorToken token{kOpNone, at, 1, 0};
    switch (*at) {
    case '!':
        token.code = next == '&' ? kOpBitwiseXor : next == '=' ? kOpNotEqual : kOpNot;
        break;
    case '%':
        token.code = kOpModulus;
        break;
    case '&':
        token.code = next == '&' ? kOpAnd : kOpBitwiseAnd;
        break;
    case '*':
        token.code = kOpMultiply;
        break;
    case '+':
        token.code = Parser::ClassifySign(span, at) == 0 ? kOpPlus : kOpNone;
        break;
    case '-': {
        const int sign = Parser::ClassifySign(span, at);
        token.code = sign == 1 ? kOpUnaryMinus : sign == 2 ? kOpNone : kOpMinus;
        break;
    }
    case '/':
        token.code = kOpDivide;
        break;
    case ':':
        token.code = kOpThenElse;
        break;
    case '<':
        token.code = next == '=' ? kOpLessOrEqual : kOpLess;
        break;
    case '=':
        if (next != '=') RaiseError(kUnknownOperator, span.Offset(at), span.Offset(at));
        token.code = kOpEqual;
        break;
    case '>':
        token.code = next == '=' ? kOpGreaterOrEqual : kOpGreater;
        break;
    case '?':
        token.code = kOpIf;
        break;
    case '^':
        token.code = kOpPower;
        break;
    case '|':
        token.code = next == '|' ? kOpOr : kOpBitwiseOr;
        break;
    case '~':
        token.code = kOpComplement;
        break;
    default:
        RaiseError(kUnknownOperator, span.Offset(at), span.Offset(at));
    }
    const bool twoCharacters = token.code == kOpBitwiseXor || token.code == kOpNotEqual ||
                               token.code == kOpAnd || token.code == kOpOr ||
                               token.code == kOpLessOrEqual || token.code == kOpGreaterOrEqual ||
                               token.code == kOpEqual;
    token.length = twoCharacters ? 2 : 1;
    token.precedence = kOperatorPrecedence[token.code];
    return token;
}

// A number in its decimal form, and nothing else, as a Constant.
bool Parser::ParseNumber(const TextSpan& span, Parser** out) const
{
    if (span.IsEmpty() || !IsDecimalNumber(span.begin, span.end)) return false;
    *out = new Constant(ReadDecimal(std::string(span.begin, span.end + 1)));
    return true;
}

// PI, E, TRUE or FALSE in any letter case, as a Constant.
bool Parser::ParseNamedConstant(const TextSpan& span, Parser** out) const
{
    const long length = span.end - span.begin + 1;
    if (length <= 0 || length > 6) return false;
    char name[7] = {};
    for (long i = 0; i < length; ++i)
        name[i] = ToUpper(span.begin[i]);
    for (int i = 0; i < kNamedConstantCount; ++i) {
        if (std::strcmp(name, kNamedConstantNames[i]) == 0) {
            *out = new Constant(kNamedConstantValues[i]);
            return true;
        }
    }
    return false;
}

Parser* Parser::MakeFunction(int code, Parser* argument) const
{
    if (code < kFnLn || code > kFnFloor) RaiseError(kUnknownFunction, -1, -1);
    return kFunctionMakers[code].fromNode(argument);
}

// NAME( ... ): the node of `code` over the text from the first "(" to the last ")".
void Parser::MakeFunctionFromText(const TextSpan& span, int code, Parser** out) const
{
    const char* open = span.begin;
    while (open <= span.end && *open != '(')
        ++open;
    const char* close = span.end;
    while (close >= span.begin && *close != ')')
        --close;
    if (!IsCallableFunctionCode(code) || open > span.end || close < open)
        RaiseError(kUnknownFunction, span.Offset(span.begin), span.Offset(open));
    TextSpan argumentSpan{span.text, open, close, span.owner, span.depth + 1};
    *out = kFunctionMakers[code].fromText(argumentSpan);
}

Parser* Parser::MakeOperator(int code, Parser* left, Parser* right) const
{
    const bool prefix = code == kOpUnaryMinus || code == kOpNot || code == kOpComplement;
    if (!prefix && (!left || !right)) RaiseError(kEmptyExpression, -1, -1);
    switch (code) {
    case kOpUnaryMinus:
        return new NegFunction(right);
    case kOpNot:
        return new NotFunction(right);
    case kOpComplement:
        return new BitwiseCompliment(right);
    default:
        if (!IsTwoOperandCode(code)) RaiseError(kUnknownOperator, -1, -1);
        return kOperatorMakers[code].fromNodes(left, right);
    }
}

// The node of the operator `token` over the text to its left and to its right.
void Parser::MakeOperatorFromText(const TextSpan& span, const OperatorToken& token,
                                  Parser** out) const
{
    TextSpan left{span.text, span.begin, token.position - 1, span.owner, span.depth + 1};
    TextSpan right{span.text, token.position + token.length, span.end, span.owner, span.depth + 1};
    switch (token.code) {
    case kOpUnaryMinus:
    case kOpNot:
    case kOpComplement:
        // A prefix operator takes nothing on its left: 'a!b' is two operands side by side.
        if (!IsBlank(left)) {
            StripParentheses(left);
            RaiseError(kSyntaxError, left.Offset(left.begin), left.Offset(left.end));
        }
        if (token.code == kOpUnaryMinus)
            *out = new NegFunction(right);
        else if (token.code == kOpNot)
            *out = new NotFunction(right);
        else
            *out = new BitwiseCompliment(right);
        return;
    default:
        if (!IsTwoOperandCode(token.code))
            RaiseError(kSyntaxError, span.Offset(token.position),
                       span.Offset(token.position + token.length));
        *out = kOperatorMakers[token.code].fromText(left, right);
    }
}

// 0: a binary "+" or "-"; 1: a sign before an operand; 2: the sign of a number's exponent.
int Parser::ClassifySign(const TextSpan& span, const char* at) const
{
    const char* before = NonBlankBefore(span, at);
    if (!before) {
        if (StartsOperand(NonBlankAfter(span, at))) return 1;
        RaiseError(kSyntaxError, span.Offset(at), span.Offset(at));
    }
    if (IsSignContext(*before)) return 1;
    if (*before == 'E' || *before == 'e') {
        const char* mantissa = NonBlankBefore(span, before);
        if (!mantissa || !IsDigit(*mantissa)) return 0;
        if (StartsOperand(NonBlankAfter(span, at))) return 2;
        RaiseError(kSyntaxError, span.Offset(at), span.Offset(at));
    }
    return 0;
}

// A number, a named constant or a variable; a blank inside means two operands side by side.
void Parser::ParseLeaf(const TextSpan& span, Parser** out) const
{
    for (const char* p = span.begin; p <= span.end; ++p) {
        if (!IsSpace(*p)) continue;
        const char* last = p;
        while (last < span.end && IsSpace(last[1]))
            ++last;
        RaiseError(kOperatorAnticipated, span.Offset(p), span.Offset(last));
    }
    if (ParseNumber(span, out) || ParseNamedConstant(span, out)) return;
    *out = new Variable(span);
}

// 0 when the span is not a call NAME( ... ); otherwise the function code of NAME, or kFnUnknown.
int Parser::FindFunctionCall(const TextSpan& span) const
{
    if (span.IsEmpty()) return 0;
    int depth = 0;
    int closedGroups = 0;
    const char* firstOpen = nullptr;
    const char* lastClose = nullptr;
    for (const char* p = span.begin; p <= span.end; ++p) {
        if (*p == '(') {
            if (depth == 0 && closedGroups > 0)
                RaiseError(kOperatorAnticipated, span.Offset(lastClose), span.Offset(p));
            if (!firstOpen) firstOpen = p;
            ++depth;
        } else if (*p == ')') {
            --depth;
            if (depth < 0) RaiseError(kUnbalancedParenthesis, span.Offset(p), span.Offset(p));
            if (depth == 0) {
                ++closedGroups;
                lastClose = p;
            }
        }
    }
    if (depth > 0)
        RaiseError(kUnbalancedParenthesis, span.Offset(firstOpen), span.Offset(firstOpen));
    if (!firstOpen || lastClose != span.end) {
        if (closedGroups > 0)
            RaiseError(kSyntaxError, span.Offset(lastClose), span.Offset(span.end));
        return 0;
    }
    char name[7] = {};
    const long length = std::min<long>(span.end - span.begin + 1, 6);
    for (long i = 0; i < length; ++i) {
        const char c = span.begin[i];
        if (c == '(' || IsSpace(c)) break;
        name[i] = ToUpper(c);
    }
    for (int code = kFnLn; code <= kFnFloor; ++code)
        if (std::strcmp(name, kFunctionNames[code]) == 0) return code;
    return kFnUnknown;
}

// The loosest operator outside parentheses; of equally loose ones the rightmost, so that every
// binary operator groups from the left.
OperatorToken Parser::FindSplitOperator(const TextSpan& span) const
{
    // Only where the best token lies is kept while scanning: copying whole tokens in this loop
    // costs more than scanning the winner once more at the end.
    const char* bestAt = nullptr;
    int16_t bestPrecedence = kLeafPrecedence;
    int depth = 0;
    const char* latestOpen = nullptr;
    for (const char* p = span.begin; p <= span.end && *p != '\0'; ++p) {
        const char c = *p;
        if (c == '(') {
            if (depth == 0) latestOpen = p;
            ++depth;
        } else if (c == ')') {
            if (--depth < 0) RaiseError(kUnbalancedParenthesis, span.Offset(p), span.Offset(p));
        } else if (depth == 0 && IsOperatorStart(c)) {
            // No class overrides the parse operations: a direct call lets the scan be inlined.
            const OperatorToken token = Parser::ScanOperator(span, p);
            if (token.code != kOpNone && token.precedence <= bestPrecedence) {
                bestAt = p;
                bestPrecedence = token.precedence;
            }
            p += token.length - 1;
        }
    }
    if (depth > 0)
        RaiseError(kUnbalancedParenthesis, span.Offset(latestOpen), span.Offset(latestOpen));
    if (!bestAt) return OperatorToken{kOpNone, span.begin, 1, kLeafPrecedence};
    return ScanOperator(span, bestAt);
}

bool Parser::IsBlank(const TextSpan& span) const
{
    for (const char* p = span.begin; p <= span.end; ++p)
        if (!IsSpace(*p)) return false;
    return true;
}

void Parser::Parse(TextSpan& span, Parser** out) const
{
    const int entryBegin = span.Offset(span.begin);
    const int entryEnd = span.Offset(span.end);
    if (span.depth > kMaxNestingDepth) RaiseError(kOutOfMemory, entryBegin, entryEnd);
    StripParentheses(span);
    if (span.IsEmpty()) RaiseError(kEmptyExpression, entryBegin, entryEnd);
    const OperatorToken token = FindSplitOperator(span);
    if (token.code != kOpNone) {
        MakeOperatorFromText(span, token, out);
        return;
    }
    const int function = FindFunctionCall(span);
    if (function != 0) {
        MakeFunctionFromText(span, function, out);
        return;
    }
    ParseLeaf(span, out);
}

void Parser::TrimSpaces(TextSpan& span) const
{
    while (span.begin <= span.end && IsSpace(*span.begin))
        ++span.begin;
    while (span.end >= span.begin && IsSpace(*span.end))
        --span.end;
}

// Removes blanks and every pair of parentheses that encloses the whole span: '( (x) )' becomes
// 'x', while '(a)+(b)' stays whole. One pass over the text, however many pairs there are.
void Parser::StripParentheses(TextSpan& span) const
{
    TrimSpaces(span);
    if (span.IsEmpty() || *span.begin != '(' || *span.end != ')') return;

    // The pairs that could enclose the span are the "(" that open it and the ")" that close it.
    int opening = 0;
    for (const char* p = span.begin; p <= span.end && (*p == '(' || IsSpace(*p)); ++p)
        opening += *p == '(';
    int closing = 0;
    for (const char* p = span.end; p >= span.begin && (*p == ')' || IsSpace(*p)); --p)
        closing += *p == ')';
    const int candidates = std::min(opening, closing);

    // The k-th opening "(" and the k-th closing ")" from the outside, counting from 1.
    auto nthOpen = [&](int k) {
        const char* p = span.begin;
        for (;; ++p)
            if (*p == '(' && --k == 0) return p;
    };
    auto nthClose = [&](int k) {
        const char* p = span.end;
        for (;; --p)
            if (*p == ')' && --k == 0) return p;
    };

    // Pair k encloses the span when the depth between the k-th opening and the k-th closing
    // parenthesis never falls below k, and the span as a whole is balanced.
    const char* innerOpen = nthOpen(candidates);
    const char* innerClose = nthClose(candidates);
    int depth = 0;
    int lowest = INT_MAX;
    for (const char* p = span.begin; p <= span.end; ++p) {
        depth += (*p == '(') - (*p == ')');
        if (p >= innerOpen && p < innerClose) lowest = std::min(lowest, depth);
    }
    const int layers = depth == 0 ? std::min(candidates, lowest) : 0;
    if (layers <= 0) return;
    span.begin = nthOpen(layers) + 1;
    span.end = nthClose(layers) - 1;
    TrimSpaces(span);
}
