// Makes the README's picture of the parameter strip: the Hopf normal form at Pa = 0.5 in a
// field window of 1000 × 700 on the offscreen platform, its equilibrium and its cycle marked and
// the flow drawn to the cycle for three seconds, the strip under the view. Not a test:
// tools/screenshots.sh runs it with the picture's path.
//
//     strip_picture docs/parameters.png

#include "vfwindow.h"

#include <QApplication>
#include <QTest>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        qWarning("usage: strip_picture PICTURE.png");
        return 2;
    }
    VFWindow window(nullptr);
    window.stopTimer();
    FieldStart start;
    start.parameters = {{"Pa", 0.5}};
    if (!window.setupField(
            formFieldSettings(1, "Pa*x - y - x*(x^2 + y^2)", "x + Pa*y - y*(x^2 + y^2)"), start))
        return 1;
    window.showNormal();
    window.resize(1000, 700);
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    for (const Qt::Key key : {Qt::Key_F, Qt::Key_E})
        window.keyPressed(key, Qt::NoModifier);
    window.advanceTicks(300);
    window.finishPendingWork(); // the equilibrium, and the cycle traced from it
    QCoreApplication::processEvents();
    return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
