#include "compile_formula.h"
#include "function_interpreter.h"
#include "mainwindow.h"
#include "parse_error.h"
#include "viewer_test_support.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <optional>

namespace {

struct Form
{
    MainWindow window{nullptr};
    QGridLayout* grid = qobject_cast<QGridLayout*>(window.centralWidget()->layout());
    Form() { window.show(); }
    QWidget* at(int row, int column) const { return grid->itemAtPosition(row, column)->widget(); }
    QPushButton* go() const { return qobject_cast<QPushButton*>(at(2, 0)); }

    void press(const QString& fx, const QString& fy)
    {
        qobject_cast<QLineEdit*>(at(0, 1))->setText(fx);
        qobject_cast<QLineEdit*>(at(1, 1))->setText(fy);
        QTest::mouseClick(go(), Qt::LeftButton);
    }
};

// The engine's record for a formula it refuses.
std::optional<ParseErrorMsg> compileError(const QString& formula)
{
    try {
        FunctionInterpreter compiled(formula.toUtf8().constData());
    } catch (const ParseErrorMsg& error) {
        return error;
    }
    return std::nullopt;
}

// Runs the deletions that the form deferred.
void deleteDeferred()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        deleteDeferred();
        QVERIFY(openFieldWindows().isEmpty());
    }

    void goOpensOneWindowWithTheFormsSettings()
    {
        for (const int mode : {1, 2}) {
            Form form;
            QTest::mouseClick(form.at(mode - 1, 4), Qt::LeftButton);
            form.press(" -y ", "x");
            QTest::mouseClick(form.go(), Qt::LeftButton); // disabled: no second window
            QCOMPARE(openFieldWindows().size(), 1);
            QVERIFY(!form.go()->isEnabled());
            const FieldSettings& s = openFieldWindows()[0]->fieldSettings();
            QCOMPARE(QVector<double>({s.xMin, s.xMax, s.yMin, s.yMax, double(s.xCount),
                                      double(s.yCount), double(s.mode)}),
                     QVector<double>({-5, 5, -5, 5, 20, 20, double(mode)}));
            QCOMPARE(s.fxText, QString(" -y ")); // as typed
        }
    }

    // Closed as by its title bar (the close reaches the native window first), then a new
    // "Go" at once, before the closed window is gone.
    void closingTheWindowEnablesGo()
    {
        Form form;
        form.press("-y", "x");
        QPointer<VFWindow> first = openFieldWindows().value(0);
        QCloseEvent close;
        QApplication::sendEvent(first->windowHandle(), &close);
        QVERIFY(!first.isNull()); // not deleted inside its own close handling
        QVERIFY(form.go()->isEnabled());
        QTest::mouseClick(form.go(), Qt::LeftButton);
        deleteDeferred();
        QVERIFY(first.isNull());
        QCOMPARE(openFieldWindows().size(), 1);
        QVERIFY(form.window.close()); // closes the field window too
        QVERIFY(form.go()->isEnabled());
    }

    // One box names the first faulty formula and gives the engine's message for it. After it,
    // that formula has the keyboard and its faulty part is selected (or the cursor waits where
    // something is missing); positions count characters, not bytes.
    void rejectedFormulaIsPointedAt_data()
    {
        QTest::addColumn<QString>("fx");
        QTest::addColumn<QString>("fy");
        QTest::addColumn<int>("row"); // 0: Fx, 1: Fy
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("cursor");
        QTest::newRow("unbalanced") << "x*(y+"
                                    << "y" << 0 << "(" << 2;
        QTest::newRow("operator") << "a = b"
                                  << "" << 0 << "=" << 2;
        QTest::newRow("unknown function") << "2 * arcsin(x)"
                                          << "y" << 0 << "arcsin(" << 4;
        QTest::newRow("folded constant") << "x"
                                         << "SQRT(-1)" << 1 << "SQRT(-1)" << 0;
        QTest::newRow("empty Fy") << "x"
                                  << "" << 1 << "" << 0;
        QTest::newRow("missing operand at the end") << "y"
                                                    << "x-" << 1 << "" << 2;
        QTest::newRow("missing operand inside") << "(x+)"
                                                << "y" << 0 << "" << 3;
        QTest::newRow("accents") << "é + ü * (x"
                                 << "y" << 0 << "(" << 8;
        QTest::newRow("outside the basic plane") << "x"
                                                 << "𝑥 = 2" << 1 << "=" << 3;
    }

    void rejectedFormulaIsPointedAt()
    {
        QFETCH(QString, fx);
        QFETCH(QString, fy);
        QFETCH(int, row);
        QFETCH(QString, selected);
        QFETCH(int, cursor);
        Form form;
        QApplication::setActiveWindow(&form.window);
        QStringList boxes;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->windowTitle() + "|" + box->text();
                QCOMPARE(box->standardButtons(), QMessageBox::Ok);
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start(5);
        form.press(fx, fy);
        const std::optional<ParseErrorMsg> error = compileError(row == 0 ? fx : fy);
        QVERIFY(error);
        QCOMPARE(boxes, QStringList(QStringLiteral("Error parsing expression|In \"%1\"...\n   %2")
                                        .arg(row == 0 ? "Fx" : "Fy", ErrorMessage(error->code))));
        QVERIFY(form.go()->isEnabled());
        auto* edit = qobject_cast<QLineEdit*>(form.at(row, 1));
        QVERIFY(QTest::qWaitForWindowActive(&form.window));
        QCOMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(edit->selectedText(), selected);
        QCOMPARE(edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition(), cursor);
        QCOMPARE(edit->text(), row == 0 ? fx : fy); // the text stays as typed
    }

    // The box names the formula by its label; a code without a message still gets words.
    void formulaErrorBox()
    {
        const struct
        {
            const char* label;
            int code;
            const char* text;
        } cases[] = {
            {"Fy", kMissingColon, "In \"Fy\"...\n   Error: Missing : in ?: operator."},
            {"", kSqrtOfNegative, "Error: Square root of a negative number is not allowed."},
            {"Fx", 28, "In \"Fx\"...\n   Unknown Error Type!"}};
        for (const auto& c : cases) {
            QString shown;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                shown = box->windowTitle() + "|" + box->text();
                box->button(QMessageBox::Ok)->click();
            });
            ShowFormulaError(c.label, c.code);
            QCOMPARE(shown, QString("Error parsing expression|") + c.text);
        }
    }
};

QTEST_MAIN(FormTest)
#include "test_form.moc"
