#include "compile_formula.h"
#include "function_interpreter.h"
#include "mainwindow.h"
#include "viewer_test_support.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

struct Form
{
    MainWindow window{nullptr};
    QList<QLineEdit*> edits = window.findChildren<QLineEdit*>(); // Fx, Fy
    QPushButton* go = window.findChild<QPushButton*>();
    Form() { window.show(); }
    void press(const QString& fx, const QString& fy)
    {
        edits[0]->setText(fx);
        edits[1]->setText(fy);
        QTest::mouseClick(go, Qt::LeftButton);
    }
};

QList<VFWindow*> openFieldWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<VFWindow*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<VFWindow*>(widget)) found.append(window);
    return found;
}

} // namespace

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(openFieldWindows().isEmpty()); }

    // One window at a time, of the chosen kind; once closed, replaced before it is deleted.
    void goOpensOneWindowAtATime()
    {
        for (const int mode : {1, 2}) {
            Form form;
            QTest::mouseClick(form.window.findChildren<QRadioButton*>()[mode - 1], Qt::LeftButton);
            form.press(" -y ", "x");
            QTest::mouseClick(form.go, Qt::LeftButton); // disabled: no second window
            QPointer<VFWindow> first = openFieldWindows().value(0);
            QVERIFY(openFieldWindows().size() == 1 && !form.go->isEnabled());
            QVERIFY(first->fieldSettings().mode == mode && first->fieldSettings().fxText == " -y ");
            QCloseEvent close; // reaches the native window first
            QApplication::sendEvent(first->windowHandle(), &close);
            QVERIFY(!first.isNull() && form.go->isEnabled()); // not deleted inside its close
            QTest::mouseClick(form.go, Qt::LeftButton);
            QVERIFY(openFieldWindows().size() == 1 && first.isNull());
            QVERIFY(form.window.close() && form.go->isEnabled()); // closes the field window too
        }
    }

    // Enter in either formula box presses "Go"; the window's title names the field as typed.
    // While a window is open, Enter opens no second one.
    void enterPressesGoAndTheTitleNamesTheField()
    {
        const std::tuple<int, int, Qt::Key, const char*, const char*, const char*> cases[] = {
            {0, 1, Qt::Key_Return, " -y ", "x", "F = (-y, x), velocity field"},
            {1, 2, Qt::Key_Enter, "0", "-sin(x) - 0.2*y",
             "F = (0, -sin(x) - 0.2*y), "
             "acceleration field"}};
        for (const auto& [row, mode, key, fx, fy, title] : cases) {
            Form form;
            QTest::mouseClick(form.window.findChildren<QRadioButton*>()[mode - 1], Qt::LeftButton);
            form.edits[0]->setText(fx);
            form.edits[1]->setText(fy);
            QTest::keyClick(form.edits[row], key);
            QCOMPARE(openFieldWindows().size(), 1);
            VFWindow* window = openFieldWindows()[0];
            QCOMPARE(window->windowTitle(), QString(title));
            QCOMPARE(window->fieldSettings().mode, mode);
            QTest::keyClick(form.edits[1 - row], key);
            QCOMPARE(openFieldWindows(), QList<VFWindow*>{window});
            QVERIFY(form.window.close());
        }
    }

    // One box for the first faulty formula; then its faulty part is selected, or the cursor
    // waits where something is missing, counting characters, not bytes.
    void rejectedFormulaIsPointedAt()
    {
        const std::tuple<const char*, const char*, int, const char*, int> cases[] = {
            {"x*(y+", "y", 0, "(", 2},
            {"2 * arcsin(x)", "y", 0, "arcsin(", 4},
            {"x", "SQRT(-1)", 1, "SQRT(-1)", 0}, // folded at compile time
            {"x", "", 1, "", 0},
            {"y", "x-", 1, "", 2},
            {"(x+)", "y", 0, "", 3},
            {"é + ü * (x", "y", 0, "(", 8},
            {"x", "𝑥 = 2", 1, "=", 3}}; // beyond the basic plane
        for (const auto& [fx, fy, row, selected, cursor] : cases) {
            int code = -1;
            try {
                FunctionInterpreter compiled(row == 0 ? fx : fy);
            } catch (const ParseErrorMsg& error) {
                code = error.code;
            }
            Form form;
            QApplication::setActiveWindow(&form.window);
            ModalAnswer answer;
            form.press(QString::fromUtf8(fx), QString::fromUtf8(fy));
            QCOMPARE(answer.boxes, QStringList("Error parsing expression|In \"" +
                                               QString(row == 0 ? "Fx" : "Fy") + "\"...\n   " +
                                               ErrorMessage(code)));
            QLineEdit* edit = form.edits[row];
            QVERIFY(form.go->isEnabled() && QTest::qWaitForWindowActive(&form.window));
            QCOMPARE(QApplication::focusWidget(), edit);
            QCOMPARE(edit->selectedText(), QString::fromUtf8(selected));
            QCOMPARE(edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition(),
                     cursor);
            QCOMPARE(edit->text(), QString::fromUtf8(row == 0 ? fx : fy)); // as typed
        }
    }

    // The box names the formula by its label; a code without a message still gets words.
    void formulaErrorBox()
    {
        const std::tuple<const char*, int, QString> cases[] = {
            {"", kSqrtOfNegative, ErrorMessage(kSqrtOfNegative)},
            {"Fx", 28, "In \"Fx\"...\n   Unknown Error Type!"}};
        for (const auto& [label, code, text] : cases) {
            ModalAnswer answer;
            ShowFormulaError(label, code);
            QCOMPARE(answer.boxes, QStringList("Error parsing expression|" + text));
        }
    }
};

QTEST_MAIN(FormTest)
#include "test_form.moc"
