#pragma once

#include "parse_error.h"

#include <QString>

class FunctionInterpreter;

// Compiles `formula`; on failure shows the reason in a warning box naming the formula by
// `label`, copies the engine's record into `rejection` when one is given (so that the caller
// can point at the faulty text), and answers null. The caller owns the result.
FunctionInterpreter* CompileFormula(const QString& label, const QString& formula,
                                    ParseErrorMsg* rejection = nullptr);

// Shows the message of error `code` in a modal warning box; returns when the user closed it.
void ShowFormulaError(const QString& label, int code);
