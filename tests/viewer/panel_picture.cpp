// Makes the README's picture of the analysis: a field window of 1280 × 800 on the offscreen
// platform with its divergence map, equilibria and information panel, the pointer over the
// field. Not a test; run it by hand (see the README) with the picture's path.
//
//     panel_picture docs/analysis.png [Fx Fy]

#include "mygraphicsview.h"
#include "vfwindow.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2 && argc != 4) {
        qWarning("usage: panel_picture PICTURE.png [Fx Fy]");
        return 2;
    }
    const QString fx = argc == 4 ? QString::fromLocal8Bit(argv[2]) : "x*(3 - x - 2*y)";
    const QString fy = argc == 4 ? QString::fromLocal8Bit(argv[3]) : "y*(2 - x - y)";

    VFWindow window(nullptr);
    window.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
    if (!window.setupField(formFieldSettings(1, fx, fy))) return 1;
    window.showNormal();
    window.resize(1280, 800);
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    for (const Qt::Key key : {Qt::Key_D, Qt::Key_E, Qt::Key_I})
        window.keyPressed(key, Qt::NoModifier);
    auto* view = window.findChild<MyGraphicsView*>();
    const QPoint pointer = view->mapFromScene(QPointF(2.1, -0.4));
    QTest::mouseMove(window.windowHandle(), view->viewport()->mapTo(&window, pointer));
    QCoreApplication::processEvents();
    return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
