#pragma once

#include "batch_evaluator.h"
#include "field_kind.h"

#include <cstddef>
#include <vector>

class FunctionInterpreter;

// Moves particles through a field given by two formulas, evaluating each formula once per
// substep for all particles together. Per particle the outcome is exactly that of stepping it
// alone, point by point:
//   velocity field:     x += Fx * dt, then y += Fy * dt, where Fy sees the new x;
//   acceleration field: Fy and Fx at the position, vy += float(Fy * dt), vx += float(Fx * dt)
//                       in single precision, then x += vx * dt and y += vy * dt.
// A substep in which a formula fails, or after which the position is not finite, puts the
// particle back where the tick started; velocity changes made until then stay.
class ParticleStepper
{
public:
    // The formulas' variables "x" and "y" take each particle's position; every other variable
    // reads its value slot. The formulas must outlive the stepper and keep their trees.
    ParticleStepper(const FunctionInterpreter& fx, const FunctionInterpreter& fy, FieldKind kind);

    // Advances particles 0 … count-1 by `substeps` substeps of `dt` seconds. x and y are read
    // and written; vx and vy too in an acceleration field, and may be null in a velocity field.
    // Allocates only when `count` exceeds every count before.
    void Tick(std::size_t count, double* x, double* y, float* vx, float* vy, double dt,
              int substeps);
    // The same in a field that changes with time: the formulas' t is startTime at the first
    // substep and dt later at each next one, as if it were written into t's slot before every
    // substep. The stepper's t is its own, so steppers of the same formulas still tick on
    // several threads at once, and t's slot keeps its value.
    void Tick(std::size_t count, double* x, double* y, float* vx, float* vy, double dt,
              int substeps, double startTime);

    FieldKind Kind() const { return kind; }
    // Whether steppers of the same formulas may tick on several threads at once.
    bool Independent() const { return fxBatch.Independent() && fyBatch.Independent(); }
    // Per particle of the last Tick: 1 when a substep failed and put it back, else 0.
    const unsigned char* FailedInLastTick() const { return failed.data(); }

private:
    void Reserve(std::size_t count);
    // The formulas' t read from `times` from now on, or again from its slot (null).
    void BindTime(const double* times);
    void Step(std::size_t count, double* x, double* y, float* vx, float* vy, double dt,
              int substeps, const double* startTime);

    FieldKind kind;
    BatchEvaluator fxBatch;
    BatchEvaluator fyBatch;
    std::size_t capacity = 0;
    // Per particle: where the tick started, where it is, where Fy looks in a velocity field,
    // and the formulas' values and errors.
    std::vector<double> startX, startY, currentX, currentY, movedX;
    std::vector<double> fxValues, fyValues;
    std::vector<double> times; // t at every particle, in a field stepped with its time
    bool timed = false;        // t is read from `times`
    std::vector<int> fxErrors, fyErrors;
    std::vector<unsigned char> failed;
};
