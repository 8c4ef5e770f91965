#include "compile_formula.h"
#include "function_interpreter.h"
#include "mainwindow.h"
#include "parse_error.h"
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

} // namespace

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(openFieldWindows().isEmpty());
    }

    // "Go" opens one window of the chosen kind with the formulas as typed, and stays disabled
    // while it is open. Closed as by its title bar (the close reaches the native window first),
    // the window may be replaced at once, before it is deleted.
    void goOpensOneWindowAtATime()
    {
        for (const int mode : {1, 2}) {
            Form form;
            QTest::mouseClick(form.window.findChildren<QRadioButton*>()[mode - 1], Qt::LeftButton);
            form.press(" -y ", "x");
            QTest::mouseClick(form.go, Qt::LeftButton); // disabled: no second window
            QCOMPARE(openFieldWindows().size(), 1);
            QVERIFY(!form.go->isEnabled());
            QPointer<VFWindow> first = openFieldWindows()[0];
            QCOMPARE(first->fieldSettings().mode, mode);
            QCOMPARE(first->fieldSettings().fxText, QString(" -y "));
            QCloseEvent close;
            QApplication::sendEvent(first->windowHandle(), &close);
            QVERIFY(!first.isNull()); // not deleted inside its own close handling
            QVERIFY(form.go->isEnabled());
            QTest::mouseClick(form.go, Qt::LeftButton);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(first.isNull());
            QCOMPARE(openFieldWindows().size(), 1);
            QVERIFY(form.window.close()); // closes the field window too
            QVERIFY(form.go->isEnabled());
        }
    }

    // One box names the first faulty formula and gives the engine's message for it. After it,
    // that formula has the keyboard and its faulty part is selected (or the cursor waits where
    // something is missing); positions count characters, not bytes.
    void rejectedFormulaIsPointedAt()
    {
        const struct
        {
            const char *fx, *fy;
            int row; // 0: Fx, 1: Fy
            const char* selected;
            int cursor;
        } cases[] = {
            {"x*(y+", "y", 0, "(", 2},
            {"a = b", "", 0, "=", 2},
            {"2 * arcsin(x)", "y", 0, "arcsin(", 4},
            {"x", "SQRT(-1)", 1, "SQRT(-1)", 0}, // a constant folded at compile time
            {"x", "", 1, "", 0},
            {"y", "x-", 1, "", 2}, // an operand missing at the end
            {"(x+)", "y", 0, "", 3},
            {"é + ü * (x", "y", 0, "(", 8},
            {"x", "𝑥 = 2", 1, "=", 3}, // beyond the basic plane
        };
        for (const auto& c : cases) {
            const char* faulty = c.row == 0 ? c.fx : c.fy;
            int code = -1;
            try {
                FunctionInterpreter compiled(faulty);
            } catch (const ParseErrorMsg& error) {
                code = error.code;
            }
            QVERIFY2(code >= 0, faulty);
            Form form;
            QApplication::setActiveWindow(&form.window);
            ModalAnswer answer;
            form.press(QString::fromUtf8(c.fx), QString::fromUtf8(c.fy));
            QCOMPARE(answer.boxes,
                     QStringList(QStringLiteral("Error parsing expression|In \"%1\"...\n   %2")
                                     .arg(c.row == 0 ? "Fx" : "Fy", ErrorMessage(code))));
            QVERIFY(form.go->isEnabled());
            QLineEdit* edit = form.edits[c.row];
            QVERIFY(QTest::qWaitForWindowActive(&form.window));
            QCOMPARE(QApplication::focusWidget(), edit);
            QCOMPARE(edit->selectedText(), QString::fromUtf8(c.selected));
            QCOMPARE(edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition(),
                     c.cursor);
            QCOMPARE(edit->text(), QString::fromUtf8(faulty)); // as typed
        }
    }

    // The box names the formula by its label; a code without a message still gets words.
    void formulaErrorBox()
    {
        const std::tuple<const char*, int, QString> cases[] = {
            {"Fy", kMissingColon, QString("In \"Fy\"...\n   ") + ErrorMessage(kMissingColon)},
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
