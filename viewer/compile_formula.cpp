#include "compile_formula.h"

#include "function_interpreter.h"

#include <QMessageBox>
#include <QTextStream>

FunctionInterpreter* CompileFormula(const QString& label, const QString& formula,
                                    ParseErrorMsg* rejection)
{
    const QByteArray text = formula.toUtf8();
    try {
        return new FunctionInterpreter(text.constData());
    } catch (const ParseErrorMsg& error) {
        if (rejection) *rejection = error;
        ShowFormulaError(label, error.code);
        return nullptr;
    }
}

void ShowFormulaError(const QString& label, int code)
{
    QString message;
    QTextStream stream(&message, QIODevice::ReadWrite);
    if (!label.isEmpty()) stream << "In \"" << label << "\"...\n   ";
    stream << ErrorMessage(code);
    stream.flush();
    QMessageBox::warning(nullptr, "Error parsing expression", message, QMessageBox::Ok,
                         QMessageBox::NoButton);
}
