#pragma once

#include "parse_error.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>

class FunctionInterpreter;
class Parser;

// Formulas nested deeper than this are refused with kOutOfMemory: every recursive operation on a
// tree (parse, evaluate, print, simplify, copy, compare, differentiate) recurses once per level,
// and this bound keeps all of them far inside an 8 MiB stack, derivatives of accepted trees too.
constexpr int kMaxNestingDepth = 1000;

// A span of formula text. `end` is the last character (inclusive): a span whose `end` lies before
// its `begin` is empty. Error positions are offsets from `text`.
struct TextSpan
{
    const char* text;
    const char* begin;
    const char* end;
    FunctionInterpreter* owner; // registers the names of new variables; may be null
    int depth = 0;              // nesting level, counted by every nested parse

    bool IsEmpty() const { return end < begin; }
    int Offset(const char* at) const { return static_cast<int>(at - text); }
};

// An operator token found in a span; code 0 means "no operator".
struct OperatorToken
{
    int code;
    const char* position;
    int length;
    int16_t precedence;
};

// The variable names that count as independent when differentiating: a variable outside the set
// differentiated by another name becomes the partial-derivative variable "P_<name>_<wrt>".
class IndependentSet
{
public:
    IndependentSet() = default;
    IndependentSet(std::initializer_list<const char*> names);

    void Add(const char* name);
    bool Contains(const char* name) const;

private:
    std::set<std::string, std::less<>> names;
};

// The base of every expression-tree node and of the expression object. It supplies the tree
// operations with their defaults and the parse operations that every node runs while it builds
// its children from text.
class Parser
{
public:
    Parser() = default;
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    virtual double Evaluate() const;
    virtual bool IsLiteral() const;
    // Whether the value depends on no variable and no random draw.
    virtual bool IsConstant() const;
    virtual int16_t Precedence() const;
    // Deletes `old` and puts `replacement` in its place when `old` is a child of this node.
    virtual bool ReplaceChild(Parser* old, Parser* replacement);
    virtual void Attach(FunctionInterpreter* owner);
    virtual void Simplify();
    // A new[] text the caller delete[]s.
    virtual char* Print() const;
    // A new tree with null parent; this tree stays unchanged.
    virtual Parser* Derivative(const char* wrt, const IndependentSet* independents) const;
    virtual Parser* Clone() const;
    // The exact opposite of IsSameAs, for every node.
    virtual bool DiffersFrom(const Parser* other) const;
    virtual bool IsSameAs(const Parser* other) const;
    virtual ~Parser();

    // The parse operations. No class overrides them.
    virtual OperatorToken ScanOperator(const TextSpan& span, const char* at) const;
    virtual bool ParseNumber(const TextSpan& span, Parser** out) const;
    virtual bool ParseNamedConstant(const TextSpan& span, Parser** out) const;
    virtual Parser* MakeFunction(int code, Parser* argument) const;
    virtual void MakeFunctionFromText(const TextSpan& span, int code, Parser** out) const;
    virtual Parser* MakeOperator(int code, Parser* left, Parser* right) const;
    virtual void MakeOperatorFromText(const TextSpan& span, const OperatorToken& token,
                                      Parser** out) const;
    virtual int ClassifySign(const TextSpan& span, const char* at) const;
    virtual void ParseLeaf(const TextSpan& span, Parser** out) const;
    virtual int FindFunctionCall(const TextSpan& span) const;
    virtual OperatorToken FindSplitOperator(const TextSpan& span) const;
    virtual bool IsBlank(const TextSpan& span) const;
    virtual void Parse(TextSpan& span, Parser** out) const;
    virtual void TrimSpaces(TextSpan& span) const;
    [[noreturn]] virtual void RaiseError(int code, int from, int to) const;
    virtual void StripParentheses(TextSpan& span) const;

    // The rules behind IsConstant and IsSameAs, given the test that tells whether a node is
    // constant: IsConstant asks each node itself, which walks its whole subtree. In a simplified
    // subtree every constant node has already been folded into a literal, so the simplifier
    // tests IsLiteral instead and its questions cost no walk; the answers are the same there.
    using ConstantTest = bool (*)(const Parser*);
    virtual bool ConstantWhen(ConstantTest isConstant) const;
    virtual bool SameWhen(const Parser* other, ConstantTest isConstant) const;

    // Appends the node's printed text to `out`. Print builds the whole tree's text in one buffer
    // this way, so that printing costs the text's length rather than its length times its depth.
    virtual void PrintTo(std::string& out) const;

    static bool AskIsConstant(const Parser* node) { return node->IsConstant(); }
    static bool AskIsLiteral(const Parser* node) { return node->IsLiteral(); }
    // IsConstant and IsSameAs for a node whose operands are simplified already.
    bool IsConstantOnceSimplified() const { return ConstantWhen(&AskIsLiteral); }
    bool IsSameOnceSimplified(const Parser* other) const { return SameWhen(other, &AskIsLiteral); }

    // The node or expression object that holds this node; null until somebody adopts it.
    Parser* parent = nullptr;
};

// Owns a node while a tree is being built, so that a failure part-way leaves nothing behind.
using NodePtr = std::unique_ptr<Parser>;

// A printed text owned until the end of the scope.
using PrintedText = std::unique_ptr<char[]>;

// Copies `text` into a new[] string.
char* CopyText(const char* text);
