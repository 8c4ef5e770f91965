// The field window paints the same picture as plain antialiased painting of its items, however
// it gets there: a fresh frame, and what its window shows after ticks, resizes and guide toggles.

#include "plain_frame.h"
#include "viewer_test_support.h"

#include <QBackingStore>
#include <QtTest>

namespace {

// A shown field window whose view has the given size.
struct ShownField : FieldWindow
{
    ShownField(const QString& fx, const QString& fy, const QSize& viewSize) : FieldWindow(fx, fy)
    {
        window.showNormal();
        resizeView(viewSize);
    }
    void resizeView(const QSize& size)
    {
        window.resize(size + (window.size() - view()->size()));
        settle();
    }
    // A frame painted from scratch by the view's own paint event.
    QImage painted() const { return port()->grab().toImage(); }
    // What the window's backing store holds where the viewport is: every update so far.
    QImage shown() const
    {
        QBackingStore* store = window.backingStore();
        const auto* image = store ? dynamic_cast<const QImage*>(store->paintDevice()) : nullptr;
        if (!image) return QImage();
        // The backing store counts device pixels.
        const qreal ratio = port()->devicePixelRatioF();
        return image->copy(
            QRect(port()->mapTo(&window, QPoint(0, 0)) * ratio, port()->size() * ratio));
    }
    QImage plain() const { return plainFrame(*view()); }
    // Rings of every colour and a row of overlapping red dots, at scattered sub-pixel places;
    // many dots lie on arrows.
    void dropDots()
    {
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j < 5; ++j)
                window.mousePressed(ringCentre(i, j));
        }
        for (int k = 0; k < 40; ++k)
            window.mouseDragged(QPointF(-2.7 + 0.073 * k, 0.55 + 0.0131 * k), QVector2D());
    }
    static QPointF ringCentre(int i, int j)
    {
        return QPointF(-4.2 + 1.71 * i + 0.013 * j, -3.9 + 1.53 * j + 0.029 * i);
    }
};

QByteArray describe(const FrameDifference& d)
{
    return QByteArray("mean ") + QByteArray::number(d.mean, 'f', 3) + ", largest " +
           QByteArray::number(d.largest);
}

} // namespace

class PictureTest : public QObject
{
    Q_OBJECT

private slots:
    // The kind of field changes nothing that is painted: velocity fields only.
    void freshFrame_data()
    {
        QTest::addColumn<QSize>("viewSize");
        QTest::addColumn<double>("zoom"); // on top of the window's own fit
        QTest::newRow("1280 x 800") << QSize(1280, 800) << 1.0;
        QTest::newRow("480 x 360") << QSize(480, 360) << 1.0;
        QTest::newRow("close up") << QSize(640, 480) << 12.0;
        QTest::newRow("discs larger than sprites") << QSize(640, 480) << 30.0;
    }

    void freshFrame()
    {
        QFETCH(QSize, viewSize);
        QFETCH(double, zoom);
        ShownField f("-y", "x", viewSize);
        QCOMPARE(f.view()->size(), viewSize);
        f.dropDots();
        f.view()->scale(zoom, zoom);
        f.view()->centerOn(ShownField::ringCentre(2, 2));
        const FrameDifference d = frameDifference(f.painted(), f.plain());
        QVERIFY2(looksTheSame(d), describe(d));
    }

    // An arrow keeps its outline rendered between frames; whatever changes what it paints,
    // through its own operations or its path item's, shows in the next frame.
    void arrowsRepaintWhatChanged()
    {
        QGraphicsScene scene(-1, -1, 2, 2);
        auto* arrow = new QGraphicsArrow(QPointF(-0.6, 0.1), 0.05, QVector2D(1, 0.3f));
        scene.addItem(arrow);
        MyGraphicsView view(&scene);
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.fitInView(scene.sceneRect());
        const std::pair<const char*, std::function<void()>> changes[] = {
            {"as built", [] {}},
            {"another outline",
             [&] {
                 QPainterPath square;
                 square.addRect(0, 0, 0.5, 0.2);
                 arrow->setPath(square);
             }},
            {"another brush", [&] { arrow->setBrush(Qt::blue); }},
            {"an outline pen", [&] { arrow->setPen(QPen(Qt::red, 0.02)); }},
            {"zoomed", [&] { view.scale(1.5, 1.5); }},
            {"cleared", [&] { arrow->clearPath(); }},
        };
        for (const auto& [name, change] : changes) {
            change();
            const QImage plain = plainFrame(view);
            QImage blank(plain.size(), QImage::Format_RGB32);
            blank.fill(Qt::white);
            const FrameDifference d = frameDifference(view.viewport()->grab().toImage(), plain);
            QVERIFY2(looksTheSame(d), QByteArray(name) + ": " + describe(d));
            QCOMPARE(frameDifference(plain, blank).largest == 0, name == QByteArray("cleared"));
        }
    }

    // The comparison itself must see a dot that sits half a pixel off.
    void halfAPixelIsSeen()
    {
        ShownField f("-y", "x", QSize(640, 480));
        f.dropDots();
        const QImage before = f.plain();
        const QPointF halfPixel =
            f.view()->mapToScene(QPoint(1, 1)) - f.view()->mapToScene(QPoint());
        for (QGraphicsDot* dot : itemsOf<QGraphicsDot>(f.window))
            dot->setPos(dot->pos() + halfPixel / 2);
        QVERIFY(!looksTheSame(frameDifference(before, f.plain())));
    }

    // Whatever the window repainted after each step, its backing store holds the whole picture.
    void noStalePixels()
    {
        ShownField f("-y", "x", QSize(640, 480));
        f.dropDots();
        settle();
        QVERIFY(!f.shown().isNull());
        auto ticks = [&] {
            for (int i = 0; i < 3; ++i) {
                f.window.advanceDots(40);
                settle();
            }
        };
        auto key = [&](Qt::Key k) { return [&f, k] { f.key(k); }; };
        const std::pair<const char*, std::function<void()>> steps[] = {
            {"first frame", [] {}},
            {"ticks", ticks},
            {"larger", [&] { f.resizeView(QSize(900, 700)); }},
            {"ticks after growing", ticks},
            {"smaller", [&] { f.resizeView(QSize(500, 420)); }},
            {"line on", key(Qt::Key_L)},
            {"ticks under the line", ticks},
            {"curve on", key(Qt::Key_C)},
            {"line off", key(Qt::Key_L)},
            {"ticks under the curve", ticks},
            {"curve off", key(Qt::Key_C)},
            {"many more dots",
             [&] {
                 for (int i = 0; i < 60; ++i)
                     f.window.mousePressed(QPointF(-4.6 + 0.157 * i, 2.9 - 0.093 * i));
             }},
            {"ticks with many dots", ticks},
            {"larger with many dots", [&] { f.resizeView(QSize(700, 560)); }},
            {"cleared", key(Qt::Key_Space)},
            {"one dot", [&] { f.window.mouseDragged(QPointF(1.2, 0.7), QVector2D()); }},
            {"ticks with one dot", ticks},
            {"a few dots again", [&] { f.dropDots(); }},
            {"ticks with a few dots", ticks},
        };
        for (const auto& [name, step] : steps) {
            step();
            settle();
            const FrameDifference d = frameDifference(f.shown(), f.plain());
            QVERIFY2(looksTheSame(d), QByteArray(name) + ": " + describe(d));
        }

        // And it would see a frame that was not repainted.
        f.dropDots();
        settle();
        f.window.advanceDots(40);
        QVERIFY(!looksTheSame(frameDifference(f.shown(), f.plain())));
    }

    // The window's extras are opt-in: with each switched on, shown a while and switched off
    // again, what the window shows is the designed frame once more, pixel for pixel.
    void extrasSwitchedOffLeaveTheDesignedFrame()
    {
        ShownField f("0", "0", QSize(640, 480)); // nothing moves: the frame stays comparable
        f.dropDots();
        settle();
        const QImage designed = f.shown();
        QVERIFY(looksTheSame(frameDifference(designed, f.plain())));
        using Keys = QList<Qt::Key>;
        const std::pair<Keys, Keys> switches[] = {
            {{Qt::Key_T}, {Qt::Key_T}},
            {{Qt::Key_F}, {Qt::Key_F}},
            {{Qt::Key_D}, {Qt::Key_D}},
            {{Qt::Key_E}, {Qt::Key_E}},
            {{Qt::Key_H}, {Qt::Key_H}},
            {{Qt::Key_I}, {Qt::Key_I}},
            {{Qt::Key_R}, {Qt::Key_R}},
            // One map in place of the other, and all the analysis at once, off in another order.
            {{Qt::Key_R, Qt::Key_D}, {Qt::Key_D}},
            {{Qt::Key_D, Qt::Key_E, Qt::Key_I, Qt::Key_R}, {Qt::Key_I, Qt::Key_E, Qt::Key_R}}};
        for (const auto& [on, off] : switches) {
            QByteArray name;
            for (const Qt::Key key : on) {
                f.key(key);
                name += QKeySequence(key).toString().toUtf8();
            }
            for (int i = 0; i < 3; ++i) {
                f.window.advanceDots(40);
                settle();
            }
            // It showed something (trails of dots that stand still lie under the dots).
            if (on != Keys{Qt::Key_T}) QVERIFY2(f.shown() != designed, name);
            for (const Qt::Key key : off)
                f.key(key);
            settle();
            const FrameDifference d = frameDifference(f.shown(), designed);
            QVERIFY2(d.largest == 0, name + ": " + describe(d));
        }
    }
};

QTEST_MAIN(PictureTest)
#include "test_picture.moc"
