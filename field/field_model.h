#pragma once

#include "batch_evaluator.h"
#include "field_kind.h"
#include "region.h"

#include <cstddef>
#include <vector>

class FunctionInterpreter;

// The longest vector of a grid is drawn this many cell sides long.
constexpr double kLongestArrow = 0.7071;

// One sampling of a field over its region's grid: where the arrows stand, the field there in
// single precision, and the one factor they are all drawn with.
struct ArrowSample
{
    struct Point
    {
        double x;
        double y;
    };
    struct Vector
    {
        float x;
        float y;
    };

    // In the order sampled: column by column from the smallest x, each from the smallest y.
    std::vector<Point> points;   // where F has a value
    std::vector<Vector> vectors; // that value, one per point
    std::vector<Point> failed;   // where it has none, or one beyond single precision
    // Draws the longest vector kLongestArrow cell sides long; 1 when every vector is zero.
    float scale = 1.0f;
    // Single precision runs out for fields whose longest vector is near its limits (1e-40, or a
    // length beyond 3.4e38): the factor would be 0 or infinite and every arrow would vanish.
    // Such fields are scaled by exactScale in double precision instead.
    bool scaledExactly = false;
    double exactScale = 0.0;
    // Why failed[0] failed: the engine's error code there and the formula that raised it (0 Fx,
    // 1 Fy; Fy's error first, as Fy is evaluated first), or code -1 where both have values but
    // the vector is beyond single precision.
    struct Failure
    {
        int code = -1;
        int component = -1;
    } firstFailure;

    // The vector drawn at points[i], in single precision.
    Vector Drawn(std::size_t i) const;
};

// The field one window shows: its two formulas, their kind and the region they are looked at
// over. Sampling evaluates the formulas afresh each time, so that after a value slot changed
// (a parameter) or the region did, the next sample shows the field as it is then.
//
// The formulas belong to the caller, bound to their value slots already, and must outlive the
// model. The model gives their x and y columns of its own and never binds anything else: every
// other variable reads its slot at the moment of sampling.
class FieldModel
{
public:
    FieldModel(const FunctionInterpreter& fx, const FunctionInterpreter& fy, FieldKind kind,
               const Region& region);
    FieldModel(const FieldModel&) = delete;
    FieldModel& operator=(const FieldModel&) = delete;

    const FunctionInterpreter& Fx() const { return fx; }
    const FunctionInterpreter& Fy() const { return fy; }
    FieldKind Kind() const { return kind; }
    const Region& Bounds() const { return region; }

    // Samples from now on cover `region` with its grid.
    void Retarget(const Region& region);

    // Fy, then Fx, at the centre of every grid cell. A point where either fails, or whose vector
    // is not finite in single precision, is a failed point; the others are scaled together.
    ArrowSample SampleArrows();

    // The value slot the formulas read `name` from, found through their variable tables: look
    // it up once and write through the pointer, then sample again. Null for a name neither
    // formula has or that is bound to no slot, and for x and y, which samples and particles
    // give values of their own.
    double* SlotOf(const char* name) const;

private:
    void LayGrid();

    const FunctionInterpreter& fx;
    const FunctionInterpreter& fy;
    FieldKind kind;
    Region region;
    BatchEvaluator fxBatch;
    BatchEvaluator fyBatch;
    // Per grid point, column by column.
    std::vector<double> gridX, gridY, fxValues, fyValues;
    std::vector<int> fxErrors, fyErrors;
};
