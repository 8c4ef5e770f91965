#pragma once

#include <QString>

class FunctionInterpreter;

// Compiles `formula`; on failure shows the reason in a warning box naming the formula by
// `label`, and answers null. The caller owns the result.
FunctionInterpreter* CompileFormula(const QString& label, const QString& formula);

// Shows the message of error `code` in a modal warning box; returns when the user closed it.
void ShowFormulaError(const QString& label, int code);
