#include "mainwindow.h"
#include "viewer_test_support.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

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

// Runs the deletions that the form deferred.
void settle()
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
        settle();
        QVERIFY(openFieldWindows().isEmpty());
    }

    void cellsAndTexts()
    {
        Form form;
        const struct
        {
            int row, column;
            const char* text;
        } cells[] = {{0, 0, "<html><it><b>F</b>(x,y)</it> = &lt;"},
                     {0, 1, ""},
                     {0, 2, ","},
                     {1, 1, ""},
                     {1, 2, "<html>&gt;</html>"},
                     {0, 4, "Velocity field"},
                     {1, 4, "Acceleration field"},
                     {2, 0, "Go"}};
        for (const auto& cell : cells)
            QCOMPARE(form.at(cell.row, cell.column)->property("text").toString(), cell.text);
        QVERIFY(qobject_cast<QRadioButton*>(form.at(0, 4))->isChecked());
        QCOMPARE(form.grid->itemAtPosition(1, 0), nullptr);
        QCOMPARE(form.grid->columnMinimumWidth(3), 20);
        QCOMPARE(form.grid->itemAtPosition(2, 2)->widget(), form.go()); // spans 3 columns
        QCOMPARE(form.grid->itemAtPosition(2, 0)->alignment(), Qt::AlignCenter);
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
        settle();
        QVERIFY(first.isNull());
        QCOMPARE(openFieldWindows().size(), 1);
        QVERIFY(form.window.close()); // closes the field window too
        QVERIFY(form.go()->isEnabled());
    }

    void badFormulaShowsOneBox_data()
    {
        QTest::addColumn<QString>("fx");
        QTest::addColumn<QString>("fy");
        QTest::addColumn<QString>("message");
        QTest::newRow("Fx") << ""
                            << "y"
                            << "In \"Fx\"...\n   Syntax Error. Empty Expression.";
        QTest::newRow("both") << "a = b"
                              << ""
                              << "In \"Fx\"...\n   Error: Unknown Operator type.";
        QTest::newRow("Fy") << "x"
                            << "sqrt(-1)"
                            << "In \"Fy\"...\n   Error: Square root of a negative number is not "
                               "allowed.";
    }

    void badFormulaShowsOneBox()
    {
        QFETCH(QString, fx);
        QFETCH(QString, fy);
        QFETCH(QString, message);
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
        Form form;
        form.press(fx, fy);
        QCOMPARE(boxes, QStringList{"Error parsing expression|" + message});
        QVERIFY(form.go()->isEnabled());
    }

    // Under LeakSanitizer this also checks that each window releases its formulas.
    void fiftyWindowsComeAndGo()
    {
        Form form;
        for (int i = 0; i < 50; ++i) {
            form.press(QString("x*%1").arg(i), "SIN(y)");
            QPointer<VFWindow> window = openFieldWindows().value(0);
            window->close();
            settle();
            QVERIFY(window.isNull());
        }
    }
};

QTEST_MAIN(FormTest)
#include "test_form.moc"
