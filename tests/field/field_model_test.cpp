// The field model: arrows sampled as the window draws them, sampled again after a value slot or
// the region changed exactly as a fresh model would sample them.

#include "field_formulas.h"
#include "field_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

namespace {

const Region kForm{-5, 5, -5, 5}; // the form's region, with its 20 × 20 grid by default

// Equal to the bit: points, vectors, failed points and the factors.
::testing::AssertionResult SameArrows(const ArrowSample& a, const ArrowSample& b)
{
    const auto samePoints = [](const std::vector<ArrowSample::Point>& p,
                               const std::vector<ArrowSample::Point>& q) {
        return p.size() == q.size() &&
               std::equal(p.begin(), p.end(), q.begin(),
                          [](const auto& s, const auto& t) { return s.x == t.x && s.y == t.y; });
    };
    if (!samePoints(a.points, b.points)) return ::testing::AssertionFailure() << "points";
    if (!samePoints(a.failed, b.failed)) return ::testing::AssertionFailure() << "failed points";
    if (a.vectors.size() != b.vectors.size() ||
        (!a.vectors.empty() &&
         std::memcmp(a.vectors.data(), b.vectors.data(), a.vectors.size() * sizeof a.vectors[0])))
        return ::testing::AssertionFailure() << "vectors";
    if (a.scale != b.scale || a.scaledExactly != b.scaledExactly || a.exactScale != b.exactScale)
        return ::testing::AssertionFailure() << "scale " << a.scale << " against " << b.scale;
    if (a.firstFailure.code != b.firstFailure.code ||
        a.firstFailure.component != b.firstFailure.component)
        return ::testing::AssertionFailure() << "first failure";
    return ::testing::AssertionSuccess();
}

// The longest drawn vector, in double precision.
double LongestDrawn(const ArrowSample& sample)
{
    double longest = 0;
    for (std::size_t i = 0; i < sample.points.size(); ++i) {
        const ArrowSample::Vector v = sample.Drawn(i);
        longest = std::max(longest, std::hypot(double(v.x), double(v.y)));
    }
    return longest;
}

// Column by column from the lower left, at cell centres; the longest arrow 0.7071 of the shorter
// cell side, all scaled alike; failures apart, in order too.
TEST(FieldModel, SamplesAtCellCentresScaledByTheLongest)
{
    struct Case
    {
        const char *fx, *fy;
        Region region;
        std::size_t sampled, failed;
        bool exactly; // scaled in double precision
    };
    const Case cases[] = {
        {"x", "y", kForm, 400, 0, false},
        {"-y", "x*x", {0, 2, -1, 3, 8, 4}, 32, 0, false},
        {"SQRT(x)", "0", kForm, 200, 200, false},
        {"x^60", "0", kForm, 360, 40, false},                // 4.75^60 is beyond single precision
        {"1E-40", "y*0", kForm, 400, 0, true},               // its factor would be infinite
        {"3E38", "-3E38 * y / ABS(y)", kForm, 400, 0, true}, // its length is beyond single
        {"0", "0", kForm, 400, 0, false},
        {"x", "y", {-1, 1, -1, 1, 0, 5}, 0, 0, false},
        {"x", "y", {-1, 1, -1, 1, -3, 5}, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fx) + ", " + c.fy);
        FieldFormulas f(c.fx, c.fy);
        FieldModel model(f.fx, f.fy, FieldKind::Velocity, c.region);
        const ArrowSample sample = model.SampleArrows();
        ASSERT_EQ(sample.points.size(), c.sampled);
        ASSERT_EQ(sample.vectors.size(), c.sampled);
        EXPECT_EQ(sample.failed.size(), c.failed);
        EXPECT_EQ(sample.scaledExactly, c.exactly);
        const double columnWidth = c.region.Width() / c.region.xCount;
        const double rowHeight = c.region.Height() / c.region.yCount;
        std::vector<ArrowSample::Point> all = sample.points;
        all.insert(all.end(), sample.failed.begin(), sample.failed.end());
        for (const ArrowSample::Point& p : all) {
            const double column = (p.x - c.region.xMin) / columnWidth - 0.5;
            const double row = (p.y - c.region.yMin) / rowHeight - 0.5;
            EXPECT_NEAR(column, std::round(column), 1e-9);
            EXPECT_NEAR(row, std::round(row), 1e-9);
        }
        for (std::size_t i = 1; i < sample.points.size(); ++i) {
            const auto &p = sample.points[i - 1], &q = sample.points[i];
            EXPECT_TRUE(p.x < q.x || (p.x == q.x && p.y < q.y)) << i;
        }
        for (std::size_t i = 0; i < sample.points.size(); ++i) {
            f.x = sample.points[i].x;
            f.y = sample.points[i].y;
            EXPECT_EQ(sample.vectors[i].x, float(f.fx.Evaluate()));
            EXPECT_EQ(sample.vectors[i].y, float(f.fy.Evaluate()));
        }
        const bool zeroField = std::string(c.fx) == "0";
        if (zeroField || c.sampled == 0) {
            EXPECT_EQ(sample.scale, 1.0f);
            EXPECT_EQ(LongestDrawn(sample), 0.0);
        } else {
            const double cell = std::min(columnWidth, rowHeight);
            EXPECT_NEAR(LongestDrawn(sample), kLongestArrow * cell, 1e-6 * cell);
        }
    }
}

// Why the first failed point failed: Fy's error before Fx's, as Fy is evaluated first; no error
// where only single precision ran out.
TEST(FieldModel, FirstFailureWithTheEngineErrorAndItsFormula)
{
    const std::tuple<const char*, const char*, int, int> cases[] = {
        {"x", "y", -1, -1},
        {"SQRT(x)", "0", kSqrtOfNegative, 0},
        {"LN(x + 4)", "SQRT(y + 10)", kLnOfNegative, 0},
        {"LN(x + 4)", "SQRT(y)", kSqrtOfNegative, 1},
        {"x^60", "0", -1, -1},
    };
    for (const auto& [fx, fy, code, component] : cases) {
        SCOPED_TRACE(std::string(fx) + ", " + fy);
        FieldFormulas f(fx, fy);
        FieldModel model(f.fx, f.fy, FieldKind::Velocity, kForm);
        const ArrowSample sample = model.SampleArrows();
        EXPECT_EQ(sample.firstFailure.code, code);
        EXPECT_EQ(sample.firstFailure.component, component);
    }
}

// A parameter written through its slot, then sampled again: exactly a fresh model with that
// value from the start, whatever the field does (fails in places, vanishes, needs the
// double-precision factor).
TEST(FieldModel, ResampledAfterASlotChangedAsAFreshModel)
{
    const std::tuple<const char*, const char*, const char*, double> cases[] = {
        {"Pa * x", "y - Pa", "Pa", 2.5},
        {"t * SQRT(x)", "-y", "t", -3},
        {"Pa", "0 * y", "Pa", 0},
        {"1E-40 * Pa", "0 * y", "Pa", 0.5},
        {"x > theta ? 1 : LN(theta - x)", "y", "theta", 2},
    };
    for (const auto& [fx, fy, name, value] : cases) {
        SCOPED_TRACE(std::string(fx) + ", " + fy);
        FieldFormulas before(fx, fy, {{name, 1.0}});
        FieldModel model(before.fx, before.fy, FieldKind::Acceleration, kForm);
        const ArrowSample first = model.SampleArrows();
        double* slot = model.SlotOf(name);
        ASSERT_EQ(slot, &before.Slot(name));
        *slot = value;
        const ArrowSample again = model.SampleArrows();

        FieldFormulas fresh(fx, fy, {{name, value}});
        FieldModel freshModel(fresh.fx, fresh.fy, FieldKind::Acceleration, kForm);
        EXPECT_TRUE(SameArrows(again, freshModel.SampleArrows()));
        EXPECT_FALSE(SameArrows(again, first));
    }
}

// Another region and grid: as a fresh model over it, and the first again on the way back.
TEST(FieldModel, RetargetedAsAFreshModel)
{
    FieldFormulas f("x*x - y", "SQRT(y + 1)");
    FieldModel model(f.fx, f.fy, FieldKind::Velocity, kForm);
    const ArrowSample first = model.SampleArrows();
    const Region regions[] = {{0, 2, -3, 1, 8, 16}, {-5, 5, -5, 5, 0, 0}, kForm};
    for (const Region& region : regions) {
        model.Retarget(region);
        EXPECT_EQ(model.Bounds().xCount, region.xCount);
        FieldModel fresh(f.fx, f.fy, FieldKind::Velocity, region);
        EXPECT_TRUE(SameArrows(model.SampleArrows(), fresh.SampleArrows()));
    }
    EXPECT_TRUE(SameArrows(model.SampleArrows(), first));
}

// Slots are found once, through the formulas' tables; x and y are the model's own columns.
TEST(FieldModel, SlotsByName)
{
    double pa = 0, t = 0;
    FunctionInterpreter fx("Pa * x + q"), fy("t - Pa * y");
    fx.BindValueSlotByName("Pa", &pa);
    fy.BindValueSlotByName("Pa", &pa);
    fy.BindValueSlotByName("t", &t);
    double x = 0;
    fx.BindValueSlotByName("x", &x);
    const FieldModel model(fx, fy, FieldKind::Velocity, kForm);
    EXPECT_EQ(model.SlotOf("Pa"), &pa);
    EXPECT_EQ(model.SlotOf("t"), &t);
    for (const char* none : {"x", "y", "q", "Pb", "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(model.SlotOf(none), nullptr) << (none ? none : "null");
}

} // namespace
