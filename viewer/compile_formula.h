#pragma once

#include "parse_error.h"

#include <QString>

class FunctionInterpreter;

// Compiles `formula`; on failure shows the reason in a warning box naming the formula by
// `label`, copies the engine's record into `rejection` when one is given (so that the caller
// can point at the faulty text), and answers null. The caller owns the result.
FunctionInterpreter* CompileFormula(const QString& label, const QString& formula,
                                    ParseErrorMsg* rejection = nullptr);

// Compiles `formula` without a word: null, with the engine's record in `rejection`, when it
// does not compile. The caller owns the result.
FunctionInterpreter* CompileQuietly(const QString& formula, ParseErrorMsg& rejection);

// Shows the message of error `code` in a modal warning box; returns when the user closed it.
void ShowFormulaError(const QString& label, int code);

// The message of a rejected formula on one line, with the place of the fault counted in
// characters from 1: "Fy: Syntax Error. at characters 3–5", "… at character 4" where something
// is missing, the message alone where the fault has no place in the text.
QString FormulaErrorLine(const QString& label, const QString& formula, const ParseErrorMsg& error);
