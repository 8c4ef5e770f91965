#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class FunctionInterpreter;
class TypesetFormula;

// One formula of the information panel after its name ("Fx = "), typeset from its readable form
// and broken into lines where the panel is narrow. Its context menu copies the formula in the
// formula language, which the program reads back as the same formula. A formula nested too
// deep to typeset shows as the engine prints it, and one too long is cut short.
class FormulaLabel : public QWidget
{
    Q_OBJECT

public:
    FormulaLabel(const QString& name, const FunctionInterpreter& formula,
                 QWidget* parent = nullptr);
    ~FormulaLabel() override;

    // What shows, on one line and without markup: "Fx = 5 − 3x − 4y".
    QString text() const;
    // The formula as the copy action puts it on the clipboard.
    const QString& ascii() const { return asciiText; }
    // Null where the text shows plainly.
    const TypesetFormula* typeset() const { return formula.get(); }

    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // Puts the formula in the formula language on the clipboard.
    void copy() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int textWidth(int width) const;

    QString name;
    QString shown; // after the name
    QString asciiText;
    std::unique_ptr<TypesetFormula> formula;
};
