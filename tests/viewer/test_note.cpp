// The note over the view: a plot without arrows always says why, a field that draws says
// nothing, and the analysis shares the note.

#include "info_panel.h"
#include "view_note.h"
#include "viewer_test_support.h"

#include <QLabel>

namespace {

const QString kOnlyXY = "only x, y and names beginning with \"P\" have values";

// The note's text while it shows; empty when there is none or it is hidden.
QString noteOf(const VFWindow& window)
{
    auto* note = window.findChild<ViewNote*>();
    return note && note->isVisible() ? note->text() : QString();
}

} // namespace

class NoteTest : public QObject
{
    Q_OBJECT

private slots:
    // The slips of a newcomer, a field nothing can be evaluated in, and fields that draw.
    void emptyPlotsSayWhy()
    {
        const std::tuple<const char*, const char*, QString> cases[] = {
            {"2x", "y", "Fx: \"2x\" has no value; write 2*x."},
            {"X", "Y",
             "Fx: \"X\" has no value; write x: names are case-sensitive.\nFy: \"Y\" has no value; "
             "write y: names are case-sensitive."},
            {"sinx", "y", "Fx: \"sinx\" has no value; write sin(x)."},
            {"a*x", "y - a", "Fx and Fy: \"a\" has no value; " + kOnlyXY + "."},
            {"x\u00b2", "\u2212y",
             "Fx: \"x\u00b2\" has no value; write ^2 for \u00b2.\nFy: \"\u2212y\" has no value; "
             "write - for \u2212."},
            {"ln(-1 - x*x)", "y",
             "The field cannot be evaluated anywhere in the region. Fx: Error: Ln of a negative "
             "number is not allowed."},
            // Names the window serves, and fields that draw somewhere, have no note.
            {"t*x", "y - theta*Pq", ""},
            {"SQRT(x)", "y", ""},
        };
        for (const auto& [fx, fy, note] : cases) {
            FieldWindow f(fx, fy);
            QVERIFY(f.ready && QTest::qWaitForWindowExposed(&f.window));
            QCOMPARE(noteOf(f.window), note);
        }
        // Nothing is added over the view of a field that draws: its frame is the designed one.
        FieldWindow drawn("-y", "x");
        QVERIFY(!drawn.window.findChild<ViewNote*>());
    }

    // One note in the corner: the plot's part first, then the analysis's, each gone on its own.
    void analysisSharesTheNote()
    {
        FieldWindow f("2x", "y");
        QVERIFY(f.ready && QTest::qWaitForWindowExposed(&f.window));
        const QString plot = "Fx: \"2x\" has no value; write 2*x.";
        f.key(Qt::Key_E);
        QTRY_COMPARE(noteOf(f.window), plot + "\n\nNo equilibria in the region."); // searched
        QCOMPARE(f.window.findChildren<ViewNote*>().size(), 1);
        f.key(Qt::Key_E);
        QCOMPARE(noteOf(f.window), plot);
    }

    // Set up again, the note is the new field's; so is the panel's count of failed points.
    void noteFollowsTheField()
    {
        FieldWindow f("2x", "y");
        QVERIFY(f.ready && QTest::qWaitForWindowExposed(&f.window));
        f.key(Qt::Key_E);
        QVERIFY(f.window.setupField(formFieldSettings(1, "SQRT(x)", "y")));
        QCOMPARE(noteOf(f.window), QString());
        f.key(Qt::Key_I);
        auto* count = f.window.findChild<QLabel*>("unevaluatedText");
        QVERIFY(count && count->isVisible());
        QCOMPARE(count->text(),
                 QString("200 of the 400 grid points could not be evaluated: they have no arrow."));
        QVERIFY(f.window.setupField(formFieldSettings(1, "X", "y")));
        QCOMPARE(noteOf(f.window), QString("Fx: \"X\" has no value; write x: names are "
                                           "case-sensitive."));
    }
};

QTEST_MAIN(NoteTest)
#include "test_note.moc"
