#pragma once

// What the field window says over its view after sampling the arrows, so that a field without
// arrows never looks like an empty success. Standard C++, so that a command line can print the
// same words.

#include <string>
#include <string_view>

class FunctionInterpreter;
struct ArrowSample;

// The note for the latest sampling of the field (Fx, Fy), empty when there is nothing to say:
// - every name of either formula that reads no value slot, with a hint for the usual slips;
// - else, when no grid point has a value, the engine's message for the first failure;
// - else nothing: a field that draws anywhere shows no note.
std::string PlotNote(const FunctionInterpreter& fx, const FunctionInterpreter& fy,
                     const ArrowSample& sample);

// What a name without a value was probably meant to be: "write 2*x" for "2x", "write x" for "X",
// "write sin(x)" for "sinx", "write - for −" and "write ^2 for ²" for typographic signs;
// otherwise that only x, y and names beginning with "P" have values.
std::string NameHint(std::string_view name);
