#include "help_overlay.h"
#include "info_panel.h"
#include "viewer_test_support.h"

#include <QScreen>
#include <QScrollBar>
#include <QtTest>

class SizesTest : public QObject
{
    Q_OBJECT

private slots:
    // Maximized as designed; un-maximized, two thirds of the screen in its middle.
    void normalSizeIsTwoThirdsOfTheScreen()
    {
        FieldWindow f("-y", "x");
        QVERIFY(f.window.isMaximized());
        const QRect screen = f.window.screen()->availableGeometry();
        f.window.showNormal();
        settle();
        const QRect normal = f.window.geometry();
        QVERIFY2(std::abs(normal.width() - screen.width() * 2 / 3) <= 1 &&
                     std::abs(normal.height() - screen.height() * 2 / 3) <= 1,
                 qPrintable(QStringLiteral("%1 x %2").arg(normal.width()).arg(normal.height())));
        QVERIFY((normal.center() - screen.center()).manhattanLength() <= 2);
    }

    // From a small window down to the smallest: the panel takes no more than a fair share and
    // the view keeps the rest; every line of the help lies inside the view, wrapped to its
    // width, and scrolls into sight under the wheel.
    void panelAndHelpFitSmallWindows()
    {
        FieldWindow f("y", "(1 - x^2)*y - x");
        f.window.showNormal();
        f.key(Qt::Key_I);
        f.key(Qt::Key_H);
        auto* panel = f.window.findChild<InfoPanel*>();
        auto* help = f.window.findChild<HelpOverlay*>();
        QVERIFY(panel && panel->isVisible() && help->isVisible());
        for (const QSize& size : {QSize(1280, 800), QSize(800, 500), QSize(1, 1)}) {
            f.window.resize(size);
            settle();
            const QByteArray at = QByteArray::number(f.window.width()) + " x " +
                                  QByteArray::number(f.window.height());
            QVERIFY2(panel->width() <= std::max(120, int(0.3 * f.window.width())), at);
            QVERIFY2(f.view()->width() >= f.window.width() / 2, at);

            const QRect port = f.port()->geometry(); // in the view, as the help's geometry
            QVERIFY2(port.contains(help->geometry()), at);
            for (int i = 0; i < kWindowKeyCount; ++i) {
                const QString action = QString::fromUtf8(kWindowKeys[i].action);
                const QRect place = help->actionRect(i);
                const QFontMetrics metrics = help->fontMetrics();
                const QRect wrapped = metrics.boundingRect(place, Qt::TextWordWrap, action);
                // Lines are a line spacing apart; the last may reach into a negative leading.
                const QRect room =
                    place.adjusted(0, 0, 0, std::max(0, metrics.height() - metrics.lineSpacing()));
                QVERIFY2(help->textArea().right() >= place.right() && room.contains(wrapped),
                         at + " " + action.toUtf8());
            }
            // From the top of the list to its end, as a fine wheel turns: each line of every
            // entry shows whole at some point on the way.
            turnWheel(f.port(), QPoint(20, 20), 100 * 120);
            QCOMPARE(help->scrollPosition(), 0);
            const QFontMetrics metrics = help->fontMetrics();
            const auto linesOf = [&](int i) {
                return help->actionRect(i).height() / metrics.lineSpacing();
            };
            std::vector<std::vector<bool>> seen;
            for (int i = 0; i < kWindowKeyCount; ++i)
                seen.emplace_back(linesOf(i), false);
            for (int step = 0; step < 1000; ++step) {
                for (int i = 0; i < kWindowKeyCount; ++i) {
                    const QRect action = help->actionRect(i);
                    for (int line = 0; line < linesOf(i); ++line) {
                        const QRect band(action.left(), action.top() + line * metrics.lineSpacing(),
                                         action.width(), metrics.lineSpacing());
                        if (help->textArea().contains(band)) seen[i][line] = true;
                    }
                }
                if (help->scrollPosition() == help->scrollRange()) break;
                turnWheel(f.port(), QPoint(20, 20), -20);
            }
            for (int i = 0; i < kWindowKeyCount; ++i)
                QVERIFY2(std::count(seen[i].begin(), seen[i].end(), false) == 0,
                         at + " " + kWindowKeys[i].action);
            QCOMPARE(help->scrollPosition(), std::max(0, help->scrollRange()));
        }
        // Not over the help, the wheel is the view's.
        const int before = help->scrollPosition();
        turnWheel(f.port(), QPoint(f.port()->width() - 5, f.port()->height() - 5), 120);
        QCOMPARE(help->scrollPosition(), before);
    }
};

QTEST_MAIN(SizesTest)
#include "test_sizes.moc"
