#pragma once

#include "field_kind.h"
#include "region.h"

#include <deque>
#include <memory>

class FieldModel;
class FunctionInterpreter;

// A field as it is at one moment, for work on another thread: copies of its two formulas whose
// variables read doubles of the snapshot's own, holding what the original slots held when it was
// taken, and its kind and region. A slot that changes later (a parameter's slider) changes
// nothing here, so the work neither races with the change nor sees half of it. A variable bound
// to no slot stays unbound, and fails where it is read, as in the original.
class FieldSnapshot
{
public:
    // Copies the formulas' trees; reads the slots. Never throws ParseErrorMsg: a formula without
    // a tree is copied as one without a tree.
    explicit FieldSnapshot(const FieldModel& field);
    FieldSnapshot(const FunctionInterpreter& fx, const FunctionInterpreter& fy, FieldKind kind,
                  const Region& region);
    ~FieldSnapshot();
    FieldSnapshot(const FieldSnapshot&) = delete;
    FieldSnapshot& operator=(const FieldSnapshot&) = delete;

    const FunctionInterpreter& Fx() const { return *formulas[0]; }
    const FunctionInterpreter& Fy() const { return *formulas[1]; }
    FieldKind Kind() const { return kind; }
    const Region& Bounds() const { return region; }

private:
    std::unique_ptr<FunctionInterpreter> formulas[2];
    std::deque<double> values; // a deque never moves its elements: the slots stay put
    FieldKind kind;
    Region region;
};
