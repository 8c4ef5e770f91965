// The note over the plot: the slips that leave a formula with a name without a value and their
// hints, and the field that cannot be evaluated anywhere.

#include "field_model.h"
#include "function_interpreter.h"
#include "plot_note.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <string>
#include <tuple>

namespace {

const Region kForm{-5, 5, -5, 5};

// Fx and Fy bound as the window binds them: x, y, the fixed names and names beginning with "P"
// read a slot, others none.
struct WindowField
{
    FunctionInterpreter fx, fy;
    std::map<std::string, double> slots;

    WindowField(const char* fxText, const char* fyText) : fx(fxText), fy(fyText)
    {
        const std::string served[] = {"r0", "s", "t", "u",     "v",   "w",  "x",
                                      "y",  "z", "r", "theta", "phi", "rho"};
        for (FunctionInterpreter* formula : {&fx, &fy}) {
            for (int i = 0; i < formula->VariableCount(); ++i) {
                const std::string name = formula->VariableName(i);
                const bool known = name[0] == 'P' || std::find(std::begin(served), std::end(served),
                                                               name) != std::end(served);
                formula->BindValueSlot(i, known ? &slots[name] : nullptr);
            }
        }
    }
    std::string Note(const Region& region = kForm)
    {
        FieldModel model(fx, fy, FieldKind::Velocity, region);
        return PlotNote(fx, fy, model.SampleArrows());
    }
};

const std::string kOnlyXY = "only x, y and names beginning with \"P\" have values";

TEST(PlotNote, HintsForNamesWithoutValue)
{
    const std::pair<const char*, std::string> cases[] = {
        // A number run into a name.
        {"2x", "write 2*x"},
        {"2.5y", "write 2.5*y"},
        {".5x", "write .5*x"},
        {"1e3x", "write 1e3*x"},
        {"2X", "write 2*x"},
        {"2a", "write 2*a"},
        {"2sinx", "write 2*sin(x)"},
        // Capitals.
        {"X", "write x: names are case-sensitive"},
        {"Y", "write y: names are case-sensitive"},
        // A function name run into its argument, the longest name that leaves one.
        {"sinx", "write sin(x)"},
        {"SINy", "write SIN(y)"},
        {"sinhx", "write sinh(x)"},
        {"asinx", "write asin(x)"},
        {"lnX", "write ln(x)"},
        {"sin2x", "write sin(2*x)"},
        {"sinxy", "write sin(x*y)"},
        {"cos2", "write cos(2)"},
        // x and y side by side.
        {"xy", "write x*y"},
        {"yxx", "write y*x*x"},
        {"2xy", "write 2*x*y"},
        // Typographic signs and superscripts, each once, in order.
        {"\u2212x", "write - for \u2212"},
        {"x\u00b2", "write ^2 for \u00b2"},
        {"x\u00b2\u2212y\u00b2", "write ^2 for \u00b2 and - for \u2212"},
        {"x\u207b\u00b9", "write ^-1 for \u207b\u00b9"},
        {"x\u00b3\u00b7y", "write ^3 for \u00b3 and * for \u00b7"},
        {"2\u00d7x", "write * for \u00d7"},
        {"1\u00f7x", "write / for \u00f7"},
        // Nothing recognised.
        {"a", kOnlyXY},
        {"x2", kOnlyXY},
        {"sina", kOnlyXY},
        {"sin", kOnlyXY},
        {"q\u00e9", kOnlyXY},
        {"2", "write 2"}, // never a name, but harmless
        {"x1x", kOnlyXY},
        {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", kOnlyXY},
    };
    for (const auto& [name, hint] : cases)
        EXPECT_EQ(NameHint(name), hint) << name;
}

TEST(PlotNote, NamesFormulasAndHintsInOneNote)
{
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"2x", "y", "Fx: \"2x\" has no value; write 2*x."},
        {"y", "X", "Fy: \"X\" has no value; write x: names are case-sensitive."},
        {"sinx", "a*x",
         "Fx: \"sinx\" has no value; write sin(x).\nFy: \"a\" has no value; " + kOnlyXY + "."},
        {"a*x", "y - a", "Fx and Fy: \"a\" has no value; " + kOnlyXY + "."},
        {"b + a", "a",
         "Fx: \"b\" has no value; " + kOnlyXY + ".\nFx and Fy: \"a\" has no value; " + kOnlyXY +
             "."},
        // The names the window serves, whatever they read.
        {"t*x + theta", "Pq - r0*y", ""},
    };
    for (const auto& [fx, fy, note] : cases) {
        SCOPED_TRACE(std::string(fx) + ", " + fy);
        WindowField f(fx, fy);
        EXPECT_EQ(f.Note(), note);
    }
    // A name is noted also where a branch leaves it out at some points and arrows are drawn.
    EXPECT_EQ(WindowField("x > 0 ? x : a", "y").Note(), "Fx: \"a\" has no value; " + kOnlyXY + ".");
}

// However many names: the first few, then how many more; a long name cut short.
TEST(PlotNote, StaysANote)
{
    std::string many = "v0";
    for (int i = 1; i < 9; ++i)
        many += " + v" + std::to_string(i);
    const std::string note = WindowField(many.c_str(), "y").Note();
    EXPECT_EQ(note.substr(0, note.find('\n')), "Fx: \"v0\" has no value; " + kOnlyXY + ".");
    EXPECT_EQ(std::count(note.begin(), note.end(), '\n'), 6);
    EXPECT_EQ(note.substr(note.rfind('\n') + 1), "\u2026 and 3 more names without a value.");

    // Cut between characters: "é" is two bytes, the 40th and 41st.
    const std::string name = std::string(39, 'q') + "\u00e9" + std::string(30, 'q');
    EXPECT_EQ(WindowField(name.c_str(), "y").Note(),
              "Fx: \"" + std::string(39, 'q') + "\u2026\" has no value; " + kOnlyXY + ".");
}

// No point with a value: the engine's own message for the first failure, and the formula it
// came from; nothing when some points draw or there is no grid.
TEST(PlotNote, FieldThatCannotBeEvaluatedAnywhere)
{
    const std::string anywhere = "The field cannot be evaluated anywhere in the region. ";
    const std::tuple<const char*, const char*, Region, std::string> cases[] = {
        {"LN(-1 - x*x)", "y", kForm,
         anywhere + "Fx: Error: Ln of a negative number is not allowed."},
        {"x", "SQRT(-1 - y*y)", kForm,
         anywhere + "Fy: Error: Square root of a negative number is not allowed."},
        {"LN(-1 - x*x)", "ASIN(2 + y*y)", kForm,
         anywhere + "Fy: Error: ArcSine of a |number| > 1 not allowed."},
        {"x/(x - x)", "y", kForm, anywhere + "Fx: Error: Division by zero."},
        {"EXP(1000 + x*x)", "y", kForm,
         anywhere + "Its vectors are infinite, not numbers, or too long for single precision "
                    "(about 3.4e38)."},
        {"SQRT(x)", "y", kForm, ""},
        {"LN(-1 - x*x)", "y", Region{-5, 5, -5, 5, 0, 20}, ""},
        {"x", "y", kForm, ""},
        // A name without a value says so, not that nothing can be evaluated.
        {"LN(-1 - x*x) + a", "y", kForm, "Fx: \"a\" has no value; " + kOnlyXY + "."},
    };
    for (const auto& [fx, fy, region, note] : cases) {
        SCOPED_TRACE(std::string(fx) + ", " + fy);
        EXPECT_EQ(WindowField(fx, fy).Note(region), note);
    }
}

} // namespace
