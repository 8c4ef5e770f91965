#pragma once

#include "parser.h"

#include <deque>
#include <string_view>
#include <unordered_map>

class Variable;

// One entry of an expression's variables table: the name and where its value is read from.
struct VariableEntry
{
    std::unique_ptr<char[]> name;
    double* valueSlot = nullptr; // caller-owned; null until bound
};

// One compiled formula: owns its tree and the table of the variables the tree uses. The caller
// points every variable at a double of its own and evaluates as often as it likes; evaluation
// reads through those pointers and never looks a name up.
class FunctionInterpreter final : public Parser
{
public:
    // Parses, attaches and simplifies a NUL-terminated formula; a leading "=" is skipped.
    explicit FunctionInterpreter(const char* formula);
    // Adopts `tree` (null gives an object without a tree) and simplifies it. The tree is owned
    // from the call on: a failure deletes it too.
    explicit FunctionInterpreter(Parser* tree);
    ~FunctionInterpreter() override;

    double Evaluate() const override;
    bool IsLiteral() const override;
    int16_t Precedence() const override;
    bool ReplaceChild(Parser* old, Parser* replacement) override;
    void Attach(FunctionInterpreter* owner) override;
    void Simplify() override;
    void PrintTo(std::string& out) const override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    Parser* Clone() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    bool SameWhen(const Parser* other, ConstantTest isConstant) const override;

    // A copy of the tree, owned by the caller.
    Parser* CopyTree() const;
    int VariableCount() const { return static_cast<int>(variables.size()); }
    int FindVariable(const char* name) const;
    // The entry's name (not a copy), or null for an index outside the table.
    const char* VariableName(int index) const;
    // `index` must be valid.
    double* ValueSlot(int index) const { return variables[index].valueSlot; }
    // The entry itself, which stays where it is for the object's life.
    const VariableEntry* Entry(int index) const { return &variables[index]; }
    double* ValueSlotByName(const char* name) const;
    Parser* DerivativeByIndex(int index, const IndependentSet* independents) const;
    Parser* DerivativeByVariable(const Variable* variable,
                                 const IndependentSet* independents) const;
    bool BindValueSlot(int index, double* slot);
    bool BindValueSlotByName(const char* name, double* slot);
    bool DiffersFromExpression(const FunctionInterpreter* other) const;
    bool IsSameAsExpression(const FunctionInterpreter* other) const;
    void AddVariable(const char* name);
    int FindOrAddVariable(const char* name);

    const Parser* Root() const { return root; }

private:
    void AdoptRoot(Parser* tree);
    void Release();

    Parser* root = nullptr;
    // Entries are only appended, and a deque never moves them: an index stays valid, and so does
    // an entry's address, which lets a variable read its slot without going through the table.
    std::deque<VariableEntry> variables;
    // Name to index, so that formulas with thousands of names still register them quickly.
    std::unordered_map<std::string_view, int> indexByName;
};
