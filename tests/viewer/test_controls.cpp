// The window's everyday controls beyond the designed keys: pause, save and help.

#include "fading_layer.h"
#include "flow_layer.h"
#include "help_overlay.h"
#include "viewer_test_support.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A shown field window with F = (1, 0), its real timer running unless the test ticks.
struct Field : FieldWindow
{
    explicit Field(Ticks ticks = kByTimer) : FieldWindow("1", "0", 1, ticks)
    {
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    std::map<const QGraphicsDot*, QPointF> positions() const
    {
        std::map<const QGraphicsDot*, QPointF> found;
        for (const QGraphicsDot* dot : dots())
            found[dot] = dot->pos();
        return found;
    }
};

// Answers the next modal dialog: a file dialog gets `path` (or is cancelled when it is empty),
// a message box is acknowledged and counted.
struct DialogAnswer
{
    QString path;
    int boxes = 0;
    QTimer timer;
    explicit DialogAnswer(const QString& answer) : path(answer)
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                if (path.isEmpty()) {
                    dialog->reject();
                } else {
                    dialog->selectFile(path);
                    QMetaObject::invokeMethod(dialog, "accept");
                }
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                ++boxes;
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer.start(5);
    }
};

} // namespace

class ControlsTest : public QObject
{
    Q_OBJECT

private slots:
    // Paused, nothing moves over real time, and particles dropped meanwhile wait; on resuming
    // the clock starts afresh, so nothing jumps by the paused time.
    void pauseHoldsEveryParticle()
    {
        Field f;
        f.window.mousePressed(QPointF(0, 0));
        f.key(Qt::Key_P);
        QVERIFY(f.window.isPaused());
        QTest::mouseClick(f.port(), Qt::LeftButton, {}, QPoint(40, 40));
        const auto waiting = f.positions();
        QCOMPARE(waiting.size(), size_t(20));
        QTest::qWait(200);
        QVERIFY(f.positions() == waiting);

        f.key(Qt::Key_P, Qt::ShiftModifier); // modifiers do not matter
        QVERIFY(!f.window.isPaused());
        QElapsedTimer resumed;
        resumed.start();
        QTest::qWait(100);
        const double limit = resumed.elapsed() / 1000.0 + 0.02;
        for (const auto& [dot, at] : f.positions()) {
            const double moved = at.x() - waiting.at(dot).x();
            QVERIFY2(moved > 0 && moved <= limit, qPrintable(QString::number(moved)));
        }
    }

    // T draws where the particles went, for a second or so; without T nothing of it exists.
    void trailsFollowTheParticles()
    {
        Field f(Field::kByTest);
        f.window.mouseDragged(QPointF(-2, 1), QVector2D());
        QVERIFY(itemsOf<FadingLayer>(f.window).isEmpty());
        f.key(Qt::Key_T, Qt::AltModifier);
        FadingLayer* trails = itemsOf<FadingLayer>(f.window).value(0);
        QVERIFY(trails && trails->isVisible());
        for (int i = 0; i < 50; ++i)
            f.window.advanceDots(10); // half a unit to the right
        auto alphaAt = [&](double x, double y) {
            const QPointF pixel = trails->pixelOf(QPointF(x, y));
            return qAlpha(trails->picture().pixel(pixel.toPoint()));
        };
        QVERIFY(alphaAt(-1.55, 1) > 100);               // just behind the dot
        QVERIFY(alphaAt(-1.95, 1) > 0);                 // half a second ago, fading
        QVERIFY(alphaAt(-1.95, 1) < alphaAt(-1.55, 1)); // older is fainter
        QCOMPARE(alphaAt(-1.75, 1.3), 0);               // nowhere else
        f.key(Qt::Key_Space);
        for (int i = 0; i < 300; ++i)
            f.window.advanceDots(10);
        const QImage& left = trails->picture();
        for (int y = 0; y < left.height(); ++y)
            for (int x = 0; x < left.width(); ++x)
                QVERIFY(qAlpha(left.pixel(x, y)) == 0); // three seconds later, gone
        f.key(Qt::Key_T);
        QVERIFY(!trails->isVisible());
    }

    // F streams flow particles over the region; + (or =) and - double and halve how many,
    // between 500 and 200,000; P holds them too.
    void flowView()
    {
        Field f(Field::kByTest);
        QVERIFY(itemsOf<FlowLayer>(f.window).isEmpty());
        f.key(Qt::Key_F, Qt::ShiftModifier);
        FlowLayer* flow = itemsOf<FlowLayer>(f.window).value(0);
        QVERIFY(flow && flow->isVisible());
        QVERIFY(flow->zValue() < 0); // under the arrows and particles
        for (int i = 0; i < 10; ++i)
            f.window.advanceDots(20);
        const auto drawn = [&] {
            int count = 0;
            const QImage& picture = flow->picture();
            for (int y = 0; y < picture.height(); y += 2)
                for (int x = 0; x < picture.width(); x += 2)
                    count += qAlpha(picture.pixel(x, y)) > 0;
            return count;
        };
        QVERIFY(drawn() > 1000);
        // F = (1, 0) moves every particle at the same speed: one colour, the palette's last.
        QCOMPARE(flow->colourOf(1.0), flow->colourOf(flow->speedScale()));
        QVERIFY(std::abs(flow->speedScale() - 1.0) < 1e-6);

        // From 5,000: up twice, then down until the floor holds, then up until the ceiling does.
        const std::pair<Qt::Key, int> steps[] = {
            {Qt::Key_Plus, 10000}, {Qt::Key_Equal, 20000}, {Qt::Key_Minus, 10000}};
        for (const auto& [key, count] : steps) {
            f.key(key);
            QCOMPARE(f.window.flowParticleCount(), count);
        }
        for (int i = 0; i < 6; ++i)
            f.key(Qt::Key_Minus);
        QCOMPARE(f.window.flowParticleCount(), 500);
        for (int i = 0; i < 9; ++i)
            f.key(Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.window.flowParticleCount(), 200000);

        f.key(Qt::Key_P);
        const QImage held = flow->picture();
        f.window.update(); // a tick of the paused window
        QVERIFY(flow->picture() == held);
        f.key(Qt::Key_P);

        f.key(Qt::Key_F);
        QVERIFY(!flow->isVisible());
        QCOMPARE(drawn(), 0);
    }

    // The help lets clicks through to the field and comes and goes with H or F1, whatever the
    // modifiers.
    void helpOverlay()
    {
        Field f;
        auto* help = f.window.findChild<HelpOverlay*>();
        QVERIFY(help && !help->isVisible());
        f.key(Qt::Key_H);
        QVERIFY(help->isVisible());
        // Through the window, as the platform delivers it: the widget under the point gets it.
        const QPoint underTheHelp = help->mapTo(&f.window, QPoint(20, 20));
        QVERIFY(f.port()->rect().contains(f.port()->mapFrom(&f.window, underTheHelp)));
        QTest::mouseClick(f.window.windowHandle(), Qt::LeftButton, {}, underTheHelp);
        QCOMPARE(f.positions().size(), size_t(10));
        f.key(Qt::Key_Down); // scrolling the field leaves the help where it is
        QCOMPARE(help->mapTo(&f.window, QPoint(20, 20)), underTheHelp);
        f.key(Qt::Key_F1);
        QVERIFY(!help->isVisible());
        f.key(Qt::Key_H, Qt::ControlModifier);
        QVERIFY(help->isVisible());
    }

    // S and Ctrl+S ask for a name: a PNG of the view's size, or an SVG drawn with shapes, where
    // only a map is a picture.
    void savePicture()
    {
        QTemporaryDir folder;
        Field f;
        f.window.mousePressed(QPointF(1, 1));
        const QString png = folder.filePath("field.png");
        const QString svg = folder.filePath("field.SVG");
        {
            DialogAnswer answer(png);
            f.key(Qt::Key_S);
        }
        const QImage image(png);
        QCOMPARE(image.size(), f.port()->size());
        QVERIFY(image.pixelColor(1, 1) == Qt::white);
        {
            DialogAnswer answer(svg);
            f.key(Qt::Key_S, Qt::ControlModifier);
        }
        const auto drawing = [&] {
            QFile file(svg);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QByteArray text = drawing();
        QVERIFY(QSvgRenderer(text).isValid());
        QVERIFY(text.count("<path") > 100);   // the arrows in view
        QVERIFY(text.count("<circle") >= 10); // the ring
        QVERIFY(!text.contains("<image"));    // nothing was drawn as pixels
        f.key(Qt::Key_D);
        QVERIFY(f.window.savePicture(svg));
        text = drawing();
        QCOMPARE(text.count("<image"), 1);
        QVERIFY(text.count("<path") > 100);
        f.key(Qt::Key_D);

        {
            DialogAnswer answer{QString()}; // cancelled
            f.key(Qt::Key_S);
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 2);

        // A place that cannot be written: a box says so, and nothing else changes.
        for (const QString& bad :
             {folder.filePath("missing/field.png"), folder.filePath("missing/field.svg")}) {
            DialogAnswer answer(bad);
            QVERIFY(!f.window.savePicture(bad));
            QCOMPARE(answer.boxes, 1);
            QVERIFY(!QFile::exists(bad));
        }
        QCOMPARE(f.positions().size(), size_t(10));
    }
};

QTEST_MAIN(ControlsTest)
#include "test_controls.moc"
