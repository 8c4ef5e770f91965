#include "point_columns.h"

#include "batch_evaluator.h"

void EvaluateAtPoints(BatchEvaluator& batch, std::size_t n, const double* x, const double* y,
                      double* values, int* errors)
{
    batch.BindColumn("x", x);
    batch.BindColumn("y", y);
    batch.Evaluate(n, values, errors);
}
