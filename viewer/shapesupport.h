#pragma once

#include <QMap>
#include <QString>
#include <QVector>

class FunctionInterpreter;

// The value slots that compiled formulas read their variables from, one per known name.
// Slot addresses stay fixed for the store's lifetime, so the store must never be copied.
class VariableStore
{
public:
    VariableStore() = default;
    Q_DISABLE_COPY(VariableStore)

    // The slot of `name`, or null for a name the viewer knows nothing about. Names beginning
    // with "P" (partial derivatives) get a slot of their own on first request.
    double* slotFor(const QString& name);

private:
    QMap<QString, double> extraSlots; // node-based: inserting never moves existing values
    double r0 = 0.0;
    double s = 0.0;
    double t = 0.0;
    double u = 0.0;
    double v = 0.0;
    double w = 0.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double r = 0.0;
    double theta = 0.0;
    double phi = 0.0;
    double rho = 0.0;
};

struct ExpressionEntry
{
    double* target = nullptr;                  // refresh() writes the value here when set
    FunctionInterpreter* expression = nullptr; // not owned
};

// An indexed list of compiled formulas whose variables all read one VariableStore. Index 0 is
// reserved; real entries start at 1. The set never owns or deletes the expressions.
class ExpressionSet
{
public:
    explicit ExpressionSet(VariableStore* store = nullptr);
    ~ExpressionSet();
    Q_DISABLE_COPY(ExpressionSet)

    void setStore(VariableStore* store);
    int add(double* target, FunctionInterpreter* expression);
    int addShared(FunctionInterpreter* expression);
    void clear();
    // No range check; engine errors propagate to the caller.
    double valueAt(int index) const;
    // Writes every entry that has a target; engine errors propagate.
    void refresh() const;
    // Points every variable of every expression at the store's slot of the same name, or at
    // null when the store has no such slot (evaluating that variable then raises an error).
    void bindAll();
    int count() const { return entries.size(); }

private:
    QVector<ExpressionEntry> entries;
    VariableStore* store = nullptr;
};
