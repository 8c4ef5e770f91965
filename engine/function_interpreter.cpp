#include "function_interpreter.h"

#include "leaves.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <typeinfo>

FunctionInterpreter::FunctionInterpreter(const char* formula)
{
    try {
        if (*formula == '\0') RaiseError(kEmptyExpression, 0, -1); // an empty span at offset 0
        const char* last = formula + std::strlen(formula) - 1;
        TextSpan span{formula, *formula == '=' ? formula + 1 : formula, last, this};
        Parser* tree = nullptr; // Parse stores only a finished tree
        Parse(span, &tree);
        AdoptRoot(tree);
        Simplify();
    } catch (...) {
        Release(); // no destructor runs for an object whose constructor throws
        throw;
    }
}

FunctionInterpreter::FunctionInterpreter(Parser* tree)
{
    try {
        if (tree) AdoptRoot(tree);
        Simplify();
    } catch (...) {
        if (!root) delete tree;
        Release();
        throw;
    }
}

FunctionInterpreter::~FunctionInterpreter()
{
    Release();
}

void FunctionInterpreter::AdoptRoot(Parser* tree)
{
    root = tree;
    root->parent = this;
    root->Attach(this);
}

void FunctionInterpreter::Release()
{
    indexByName.clear();
    variables.clear();
    delete root;
    root = nullptr;
}

double FunctionInterpreter::Evaluate() const
{
    if (!root) RaiseError(kEmptyExpression, -1, -1);
    return root->Evaluate();
}

bool FunctionInterpreter::IsLiteral() const
{
    return false;
}

bool FunctionInterpreter::ConstantWhen(ConstantTest isConstant) const
{
    return !root || isConstant(root);
}

int16_t FunctionInterpreter::Precedence() const
{
    return 0;
}

bool FunctionInterpreter::ReplaceChild(Parser* old, Parser* replacement)
{
    if (root && old != root) return false;
    if (replacement) replacement->Attach(this); // may throw: nothing has changed yet
    delete root;
    root = replacement;
    if (root) root->parent = this;
    return true;
}

void FunctionInterpreter::Attach(FunctionInterpreter*) {}

void FunctionInterpreter::Simplify()
{
    if (!root) return;
    root->Simplify(); // may replace the root: read it again below
    if (!root->IsLiteral() && root->IsConstantOnceSimplified()) {
        const double value = root->Evaluate();
        if (Parser* folded = new (std::nothrow) Constant(value)) ReplaceChild(root, folded);
    }
    root->Attach(this);
}

void FunctionInterpreter::PrintTo(std::string& out) const
{
    if (!root) RaiseError(kEmptyExpression, -1, -1);
    out += "= ";
    root->PrintTo(out);
}

Parser* FunctionInterpreter::Derivative(const char* wrt, const IndependentSet* independents) const
{
    if (!root) return new Constant(0.0);
    return root->Derivative(wrt, independents);
}

Parser* FunctionInterpreter::Clone() const
{
    // An expression object is never a child of a tree, so nothing copies one as a node.
    RaiseError(kNoDerivative, -1, -1);
}

bool FunctionInterpreter::SameWhen(const Parser* other, ConstantTest isConstant) const
{
    if (!root || !other || typeid(*root) != typeid(*other)) return false;
    return root->SameWhen(other, isConstant);
}

Parser* FunctionInterpreter::CopyTree() const
{
    if (!root) RaiseError(kEmptyExpression, -1, -1);
    return root->Clone();
}

int FunctionInterpreter::FindVariable(const char* name) const
{
    if (!name) return -1;
    const auto found = indexByName.find(name);
    return found == indexByName.end() ? -1 : found->second;
}

const char* FunctionInterpreter::VariableName(int index) const
{
    if (index < 0 || index >= VariableCount()) return nullptr;
    return variables[index].name.get();
}

double* FunctionInterpreter::ValueSlotByName(const char* name) const
{
    const int index = FindVariable(name);
    if (index < 0) RaiseError(kUnknownVariable, -1, -1);
    return ValueSlot(index);
}

Parser* FunctionInterpreter::DerivativeByIndex(int index, const IndependentSet* independents) const
{
    if (index < 0 || index >= VariableCount()) RaiseError(kUnknownVariable, -1, -1);
    return Derivative(variables[index].name.get(), independents);
}

Parser* FunctionInterpreter::DerivativeByVariable(const Variable* variable,
                                                  const IndependentSet* independents) const
{
    return Derivative(variable ? variable->Name() : nullptr, independents);
}

bool FunctionInterpreter::BindValueSlot(int index, double* slot)
{
    if (index < 0 || index >= VariableCount()) return false;
    variables[index].valueSlot = slot;
    return true;
}

bool FunctionInterpreter::BindValueSlotByName(const char* name, double* slot)
{
    const int index = FindVariable(name);
    return index >= 0 && BindValueSlot(index, slot);
}

bool FunctionInterpreter::DiffersFromExpression(const FunctionInterpreter* other) const
{
    if (!root) return other && other->root;
    if (!other || !other->root) return true;
    return root->DiffersFrom(other->root);
}

bool FunctionInterpreter::IsSameAsExpression(const FunctionInterpreter* other) const
{
    if (!root) return !other || !other->root;
    if (!other || !other->root) return false;
    return root->IsSameAs(other->root);
}

void FunctionInterpreter::AddVariable(const char* name)
{
    VariableEntry entry;
    entry.name.reset(CopyText(name));
    const std::string_view key(entry.name.get());
    variables.push_back(std::move(entry));
    try {
        // The key views the entry's own copy of the name, which never moves.
        indexByName.emplace(key, VariableCount() - 1);
    } catch (...) {
        variables.pop_back();
        throw;
    }
}

int FunctionInterpreter::FindOrAddVariable(const char* name)
{
    const int index = FindVariable(name);
    if (index >= 0) return index;
    AddVariable(name);
    return VariableCount() - 1;
}
