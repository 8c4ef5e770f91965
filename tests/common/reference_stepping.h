#pragma once

// Stepping particles one at a time through the formulas' trees, exactly as the field window's
// animation is designed to: the reference that batch stepping must match bit for bit.

#include "field_formulas.h"
#include "particle_stepper.h"

#include <cmath>
#include <vector>

struct Particle
{
    double x;
    double y;
    float vx;
    float vy;
    bool failed = false; // in the last tick
};

// One tick for every particle, one at a time, written as the field window steps its dots.
// Answers the number of substeps that put a particle back.
inline int ReferenceTick(ParticleStepper::Field field, FieldFormulas& f,
                         std::vector<Particle>& particles, double dt, int substeps)
{
    int failures = 0;
    for (Particle& p : particles) {
        const double startX = p.x;
        const double startY = p.y;
        double x = startX;
        double y = startY;
        f.x = x;
        f.y = y;
        p.failed = false;
        for (int step = 0; step < substeps; ++step) {
            bool evaluated = true;
            try {
                if (field == ParticleStepper::Field::kVelocity) {
                    x += f.fx.Evaluate() * dt;
                    f.x = x;
                    y += f.fy.Evaluate() * dt;
                } else {
                    const double fy = f.fy.Evaluate();
                    const double fx = f.fx.Evaluate();
                    p.vy = p.vy + float(fy * dt);
                    p.vx = p.vx + float(fx * dt);
                    x += p.vx * dt;
                    y += p.vy * dt;
                }
            } catch (const ParseErrorMsg&) {
                evaluated = false;
            }
            if (!evaluated || !std::isfinite(x) || !std::isfinite(y)) {
                x = startX;
                y = startY;
                ++failures;
                p.failed = true;
            }
            f.x = x;
            f.y = y;
        }
        p.x = x;
        p.y = y;
    }
    return failures;
}
