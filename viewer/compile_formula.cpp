#include "compile_formula.h"

#include "function_interpreter.h"

#include <QMessageBox>
#include <QTextStream>

namespace {

// How many characters of `utf8` begin before byte `offset`.
int charactersBefore(const QByteArray& utf8, int offset)
{
    int characters = 0;
    for (int i = 0; i < offset && i < utf8.size(); ++i)
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) ++characters;
    return characters;
}

} // namespace

FunctionInterpreter* CompileQuietly(const QString& formula, ParseErrorMsg& rejection)
{
    const QByteArray text = formula.toUtf8();
    try {
        return new FunctionInterpreter(text.constData());
    } catch (const ParseErrorMsg& error) {
        rejection = error;
        return nullptr;
    }
}

FunctionInterpreter* CompileFormula(const QString& label, const QString& formula,
                                    ParseErrorMsg* rejection)
{
    ParseErrorMsg error{-1, -1, -1};
    FunctionInterpreter* compiled = CompileQuietly(formula, error);
    if (compiled) return compiled;
    if (rejection) *rejection = error;
    ShowFormulaError(label, error.code);
    return nullptr;
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

QString FormulaErrorLine(const QString& label, const QString& formula, const ParseErrorMsg& error)
{
    QString line = QStringLiteral("%1: %2").arg(label, QString::fromUtf8(ErrorMessage(error.code)));
    if (error.from < 0) return line;
    const QByteArray utf8 = formula.toUtf8();
    const int first = charactersBefore(utf8, error.from) + 1;
    if (error.to <= error.from) return line + QStringLiteral(" at character %1").arg(first);
    const int last = charactersBefore(utf8, error.to) + 1;
    return line + QStringLiteral(" at characters %1\u2013%2").arg(first).arg(last);
}
