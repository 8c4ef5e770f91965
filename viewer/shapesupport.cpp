#include "shapesupport.h"

#include "function_interpreter.h"

double* VariableStore::slotFor(const QString& name)
{
    if (name.startsWith(QLatin1Char('P'))) return &extraSlots[name];

    struct Fixed
    {
        const char* name;
        double VariableStore::*slot;
    };
    static const Fixed fixed[] = {
        {"r0", &VariableStore::r0},       {"s", &VariableStore::s},
        {"t", &VariableStore::t},         {"u", &VariableStore::u},
        {"v", &VariableStore::v},         {"w", &VariableStore::w},
        {"x", &VariableStore::x},         {"y", &VariableStore::y},
        {"z", &VariableStore::z},         {"r", &VariableStore::r},
        {"theta", &VariableStore::theta}, {"phi", &VariableStore::phi},
        {"rho", &VariableStore::rho},
    };
    for (const Fixed& entry : fixed) {
        if (name == QLatin1String(entry.name)) return &(this->*entry.slot);
    }
    return nullptr;
}

ExpressionSet::ExpressionSet(VariableStore* store) : entries(1), store(store) {}

ExpressionSet::~ExpressionSet()
{
    clear();
}

void ExpressionSet::setStore(VariableStore* newStore)
{
    store = newStore;
}

int ExpressionSet::add(double* target, FunctionInterpreter* expression)
{
    entries.append(ExpressionEntry{target, expression});
    return entries.size() - 1;
}

int ExpressionSet::addShared(FunctionInterpreter* expression)
{
    return add(nullptr, expression);
}

void ExpressionSet::clear()
{
    entries.clear();
    entries.append(ExpressionEntry{});
}

double ExpressionSet::valueAt(int index) const
{
    return entries.at(index).expression->Evaluate();
}

void ExpressionSet::refresh() const
{
    const ExpressionEntry* entry = entries.constData();
    for (int i = 1, size = entries.size(); i < size; ++i) {
        if (entry[i].target) *entry[i].target = entry[i].expression->Evaluate();
    }
}

void ExpressionSet::bindAll()
{
    if (!store) return;
    for (int i = 1; i < entries.size(); ++i) {
        FunctionInterpreter* expression = entries.at(i).expression;
        for (int k = expression->VariableCount() - 1; k >= 0; --k) {
            const QString name = QString::fromUtf8(expression->VariableName(k));
            expression->BindValueSlot(k, store->slotFor(name));
        }
    }
}
