#pragma once

// Particles stepped one at a time through the formula trees: what batch stepping must match.

#include "field_formulas.h"
#include "particle_stepper.h"

#include <cmath>
#include <vector>

struct Particle
{
    double x, y;
    float vx, vy;
    bool failed = false; // in the last tick
};

// One tick of every particle; answers the number of substeps that put a particle back. With
// `startTime`, t is written into its slot before every substep: startTime, then dt later each.
inline int ReferenceTick(FieldKind kind, FieldFormulas& f, std::vector<Particle>& particles,
                         double dt, int substeps, const double* startTime = nullptr)
{
    int failures = 0;
    double* time = startTime ? &f.Slot("t") : nullptr;
    for (Particle& p : particles) {
        double x = p.x, y = p.y;
        p.failed = false;
        for (int step = 0; step < substeps; ++step) {
            f.x = x;
            f.y = y;
            if (time) *time = *startTime + step * dt;
            try {
                if (kind == FieldKind::Velocity) {
                    x += f.fx.Evaluate() * dt;
                    f.x = x;
                    y += f.fy.Evaluate() * dt;
                } else {
                    const double fy = f.fy.Evaluate(), fx = f.fx.Evaluate();
                    p.vy += float(fy * dt);
                    p.vx += float(fx * dt);
                    x += p.vx * dt;
                    y += p.vy * dt;
                }
                if (!std::isfinite(x) || !std::isfinite(y)) throw ParseErrorMsg{}; // fails too
            } catch (const ParseErrorMsg&) { // back to where the tick started
                x = p.x;
                y = p.y;
                ++failures;
                p.failed = true;
            }
        }
        p.x = x;
        p.y = y;
    }
    return failures;
}
