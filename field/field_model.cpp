#include "field_model.h"

#include "function_interpreter.h"
#include "point_columns.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

// |v| as the viewer's single-precision vectors measure it: the squares summed in double
// precision, the root rounded to single.
float SinglePrecisionLength(float x, float y)
{
    return float(std::sqrt(double(x) * double(x) + double(y) * double(y)));
}

} // namespace

ArrowSample::Vector ArrowSample::Drawn(std::size_t i) const
{
    const Vector& v = vectors[i];
    if (scaledExactly) return {float(v.x * exactScale), float(v.y * exactScale)};
    return {v.x * scale, v.y * scale};
}

FieldModel::FieldModel(const FunctionInterpreter& fx, const FunctionInterpreter& fy, FieldKind kind,
                       const Region& region)
    : fx(fx), fy(fy), kind(kind), region(region), fxBatch(fx), fyBatch(fy)
{
    LayGrid();
}

void FieldModel::Retarget(const Region& newRegion)
{
    region = newRegion;
    LayGrid();
}

void FieldModel::LayGrid()
{
    const int columns = std::max(region.xCount, 0);
    const int rows = std::max(region.yCount, 0);
    const std::size_t count = std::size_t(columns) * std::size_t(rows);
    for (std::vector<double>* column : {&gridX, &gridY, &fxValues, &fyValues})
        column->resize(count);
    fxErrors.resize(count);
    fyErrors.resize(count);
    const double w = region.Width();
    const double h = region.Height();
    for (int i = 0, point = 0; i < columns; ++i) {
        for (int j = 0; j < rows; ++j, ++point) {
            gridX[std::size_t(point)] = region.xMin + (i + 0.5) * w / region.xCount;
            gridY[std::size_t(point)] = region.yMin + (j + 0.5) * h / region.yCount;
        }
    }
}

ArrowSample FieldModel::SampleArrows()
{
    const std::size_t count = gridX.size();
    EvaluateAtPoints(fyBatch, count, gridX.data(), gridY.data(), fyValues.data(), fyErrors.data());
    EvaluateAtPoints(fxBatch, count, gridX.data(), gridY.data(), fxValues.data(), fxErrors.data());

    ArrowSample sample;
    sample.points.reserve(count);
    sample.vectors.reserve(count);
    float longest = 0.0f;
    double longestExactly = 0.0;
    for (std::size_t point = 0; point < count; ++point) {
        const ArrowSample::Point at{gridX[point], gridY[point]};
        const float fyValue = float(fyValues[point]);
        const float fxValue = float(fxValues[point]);
        // A vector beyond single precision has no length to scale the others by.
        if (fxErrors[point] >= 0 || fyErrors[point] >= 0 || !std::isfinite(fxValue) ||
            !std::isfinite(fyValue)) {
            if (sample.failed.empty() && fyErrors[point] >= 0)
                sample.firstFailure = {fyErrors[point], 1};
            else if (sample.failed.empty() && fxErrors[point] >= 0)
                sample.firstFailure = {fxErrors[point], 0};
            sample.failed.push_back(at);
            continue;
        }
        sample.points.push_back(at);
        sample.vectors.push_back({fxValue, fyValue});
        longest = std::max(longest, SinglePrecisionLength(fxValue, fyValue));
        longestExactly = std::max(longestExactly, std::hypot(double(fxValue), double(fyValue)));
    }

    const double cell = sample.points.empty() ? 0.0
                                              : std::min(region.Height() / region.yCount,
                                                         region.Width() / region.xCount);
    if (longest > 0.0f) sample.scale = float(kLongestArrow / longest * cell);
    sample.scaledExactly =
        longestExactly > 0.0 &&
        (!std::isfinite(longest) || !std::isfinite(sample.scale) || sample.scale == 0.0f);
    if (sample.scaledExactly) sample.exactScale = kLongestArrow / longestExactly * cell;
    return sample;
}

double* FieldModel::SlotOf(const char* name) const
{
    if (!name || std::string_view(name) == "x" || std::string_view(name) == "y") return nullptr;
    for (const FunctionInterpreter* formula : {&fx, &fy}) {
        const int index = formula->FindVariable(name);
        if (index >= 0 && formula->ValueSlot(index)) return formula->ValueSlot(index);
    }
    return nullptr;
}
