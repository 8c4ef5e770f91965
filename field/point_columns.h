#pragma once

#include <cstddef>

class BatchEvaluator;

// Evaluates `batch`'s formula at points 0 … n-1, whose x and y are the columns given, as
// BatchEvaluator::Evaluate answers: errors[i] is -1 where values[i] holds the value. The columns
// stay bound to the formula's x and y afterwards.
void EvaluateAtPoints(BatchEvaluator& batch, std::size_t n, const double* x, const double* y,
                      double* values, int* errors);
