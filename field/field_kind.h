#pragma once

// What the field's value means for a particle: its velocity (x' = F) or its acceleration
// (x'' = F).
enum class FieldKind
{
    Velocity,
    Acceleration
};
