#include "particle_stepper.h"

#include <algorithm>
#include <cmath>

ParticleStepper::ParticleStepper(const FunctionInterpreter& fx, const FunctionInterpreter& fy,
                                 FieldKind kind)
    : kind(kind), fxBatch(fx), fyBatch(fy)
{
}

void ParticleStepper::Reserve(std::size_t count)
{
    if (count <= capacity) return;
    for (std::vector<double>* column :
         {&startX, &startY, &currentX, &currentY, &movedX, &fxValues, &fyValues, &times})
        column->resize(count);
    fxErrors.resize(count);
    fyErrors.resize(count);
    failed.resize(count);
    capacity = count;
    // The columns moved: bind them again. Both formulas read the position; in a velocity field
    // Fy reads x after the substep has moved it.
    fxBatch.BindColumn("x", currentX.data());
    fxBatch.BindColumn("y", currentY.data());
    fyBatch.BindColumn("x", kind == FieldKind::Velocity ? movedX.data() : currentX.data());
    fyBatch.BindColumn("y", currentY.data());
    if (timed) BindTime(times.data());
}

void ParticleStepper::BindTime(const double* column)
{
    fxBatch.BindColumn("t", column);
    fyBatch.BindColumn("t", column);
    timed = column != nullptr;
}

void ParticleStepper::Tick(std::size_t count, double* x, double* y, float* vx, float* vy, double dt,
                           int substeps)
{
    Step(count, x, y, vx, vy, dt, substeps, nullptr);
}

void ParticleStepper::Tick(std::size_t count, double* x, double* y, float* vx, float* vy, double dt,
                           int substeps, double startTime)
{
    Step(count, x, y, vx, vy, dt, substeps, &startTime);
}

void ParticleStepper::Step(std::size_t count, double* x, double* y, float* vx, float* vy, double dt,
                           int substeps, const double* startTime)
{
    if (count == 0 || substeps <= 0) return;
    Reserve(count);
    // Binding looks the name up: only when stepping with time starts or ends.
    if (timed != (startTime != nullptr)) BindTime(startTime ? times.data() : nullptr);
    std::copy_n(x, count, startX.data());
    std::copy_n(y, count, startY.data());
    std::copy_n(x, count, currentX.data());
    std::copy_n(y, count, currentY.data());
    std::fill_n(failed.data(), count, 0);
    unsigned char* refused = failed.data();
    double* cx = currentX.data();
    double* cy = currentY.data();
    const double* sx = startX.data();
    const double* sy = startY.data();
    const double* fxv = fxValues.data();
    const double* fyv = fyValues.data();
    const int* fxe = fxErrors.data();
    const int* fye = fyErrors.data();

    for (int step = 0; step < substeps; ++step) {
        // Each substep's time afresh rather than summed: no rounding piles up over a tick.
        if (startTime) std::fill_n(times.data(), count, *startTime + step * dt);
        if (kind == FieldKind::Velocity) {
            fxBatch.Evaluate(count, fxValues.data(), fxErrors.data());
            double* mx = movedX.data();
            for (std::size_t i = 0; i < count; ++i)
                mx[i] = cx[i] + fxv[i] * dt; // garbage where Fx failed: never used there
            fyBatch.Evaluate(count, fyValues.data(), fyErrors.data());
            for (std::size_t i = 0; i < count; ++i) {
                const double nx = mx[i];
                const double ny = cy[i] + fyv[i] * dt;
                // A position that is not finite counts as a failure too.
                const bool moved =
                    fxe[i] < 0 && fye[i] < 0 && std::isfinite(nx) && std::isfinite(ny);
                cx[i] = moved ? nx : sx[i];
                cy[i] = moved ? ny : sy[i];
                refused[i] |= !moved;
            }
        } else {
            fyBatch.Evaluate(count, fyValues.data(), fyErrors.data());
            fxBatch.Evaluate(count, fxValues.data(), fxErrors.data());
            for (std::size_t i = 0; i < count; ++i) {
                if (fxe[i] >= 0 || fye[i] >= 0) {
                    cx[i] = sx[i];
                    cy[i] = sy[i];
                    refused[i] = 1;
                    continue;
                }
                // Semi-implicit Euler in the velocity's single precision; the velocity keeps
                // its change even when the position it leads to is refused.
                vy[i] = vy[i] + static_cast<float>(fyv[i] * dt);
                vx[i] = vx[i] + static_cast<float>(fxv[i] * dt);
                const double nx = cx[i] + vx[i] * dt;
                const double ny = cy[i] + vy[i] * dt;
                const bool finite = std::isfinite(nx) && std::isfinite(ny);
                cx[i] = finite ? nx : sx[i];
                cy[i] = finite ? ny : sy[i];
                refused[i] |= !finite;
            }
        }
    }
    std::copy_n(cx, count, x);
    std::copy_n(cy, count, y);
}
