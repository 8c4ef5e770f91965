// The parts of the equilibria search: Krawczyk's test on boxes, and boxes grouped where they
// touch.

#include "analysis_test_support.h"
#include "box_clusters.h"
#include "krawczyk.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

using Result = KrawczykTest::Result;

bool Holds(const Box& box, double x, double y)
{
    return box.x.lo <= x && x <= box.x.hi && box.y.lo <= y && y <= box.y.hi;
}

TEST(BoxSearch, KrawczykProvesExcludesOrNarrows)
{
    const double root2 = std::sqrt(2.0);
    // Fx, Fy, the box, the result, a zero that the narrowed box must keep (or NaN for none).
    const double none = std::nan("");
    const std::tuple<const char*, const char*, Box, Result, double, double> cases[] = {
        {"x - 1", "y - 2", {{0, 3}, {0, 3}}, Result::OneZero, 1, 2},
        {"x - 1", "y - 2", {{2, 3}, {0, 3}}, Result::NoZero, none, none},
        // On the edge: not inside the interior, so not proven, but kept.
        {"x - 1", "y - 2", {{1, 3}, {0, 3}}, Result::Undecided, 1, 2},
        {"x*x - 2", "y", {{1, 2}, {-1, 1}}, Result::OneZero, root2, 0},
        {"x*x - 2", "y", {{1.5, 2}, {-1, 1}}, Result::NoZero, none, none},
        {"x*x - 2", "y", {{-2, 2}, {-1, 1}}, Result::Undecided, root2, 0}, // two zeros
        // An expanded cubic: the mean value form excludes what its plain enclosure cannot.
        {"x^3 - 3*x^2 + 3*x - 1", "y", {{1.1, 1.11}, {-1, 1}}, Result::NoZero, none, none},
        // A segment, and points: the values themselves.
        {"x", "y", {{0, 0}, {-1, 1}}, Result::OneZero, 0, 0},
        {"x - 0.5", "y", {{0, 0}, {-1, 1}}, Result::NoZero, none, none},
        {"x", "y", {{0, 0}, {0, 0}}, Result::OneZero, 0, 0},
        {"x - 1e-10", "y", {{0, 0}, {0, 0}}, Result::NoZero, none, none},
        // Where F may fail, nothing is proven.
        {"sqrt(x)", "y", {{-1, 1}, {-1, 1}}, Result::Undecided, 0, 0},
    };
    for (const auto& [fx, fy, box, result, x, y] : cases) {
        SCOPED_TRACE(std::string(fx) + ", " + fy);
        const TestField field(fx, fy);
        const auto enclosure = field.analysis.Enclosure();
        const KrawczykTest test = Krawczyk(*enclosure, box);
        EXPECT_EQ(test.result, result);
        if (!std::isnan(x)) {
            EXPECT_TRUE(Holds(test.narrowed, x, y));
        }
    }
}

// Narrowing again and again closes in on the zero to a few units in the last place (exp's
// enclosure is a few units wide itself).
TEST(BoxSearch, KrawczykNarrowsToTheZero)
{
    const TestField field("x*x - 2", "exp(y) - 3");
    const auto enclosure = field.analysis.Enclosure();
    Box box{{1, 2}, {0.5, 2}};
    EXPECT_EQ(Krawczyk(*enclosure, box).result, Result::OneZero);
    for (int i = 0; i < 10; ++i)
        box = Krawczyk(*enclosure, box).narrowed;
    EXPECT_TRUE(Holds(box, std::sqrt(2.0), std::log(3.0)));
    EXPECT_LE(box.x.hi - box.x.lo, 4 * 2.3e-16);
    EXPECT_LE(box.y.hi - box.y.lo, 8 * 2.3e-16);
}

TEST(BoxSearch, BoxesGroupWhereTheyTouch)
{
    const CellGrid unit{0, 0, 1, 1};
    const std::tuple<std::vector<Box>, CellGrid, std::vector<std::vector<std::size_t>>> cases[] = {
        // Touching at a corner; a cell apart.
        {{{{0, 1}, {0, 1}}, {{1, 2}, {1, 2}}}, unit, {{0, 1}}},
        {{{{0, 1}, {0, 1}}, {{2, 3}, {0, 1}}}, unit, {{0}, {1}}},
        // A chain along a diagonal, in any order, with a stranger beside it.
        {{{{2, 3}, {2, 3}}, {{5, 6}, {0, 1}}, {{0, 1}, {0, 1}}, {{1, 2}, {1, 2}}},
         unit,
         {{0, 2, 3}, {1}}},
        // Boxes narrowed inside their cells still count for them.
        {{{{0.2, 0.3}, {0.2, 0.3}}, {{1.7, 1.8}, {0.5, 0.6}}}, unit, {{0, 1}}},
        // A large box (an area of zeros) joins all it reaches.
        {{{{0, 1}, {0, 1}}, {{0, 40}, {1, 2}}, {{38, 39}, {0, 1}}, {{20, 21}, {8, 9}}},
         unit,
         {{0, 1, 2}, {3}}},
        // A region of one line: every box in one row.
        {{{{0, 1}, {5, 5}}, {{1, 2}, {5, 5}}, {{4, 5}, {5, 5}}}, {0, 5, 1, 0}, {{0, 1}, {2}}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& [boxes, grid, sets] = cases[i];
        EXPECT_EQ(ConnectedSets(boxes, grid), sets) << "case " << i;
    }
}

} // namespace
