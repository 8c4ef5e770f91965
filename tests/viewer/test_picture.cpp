#include "viewer_test_support.h"

#include <QBackingStore>
#include <QGraphicsEllipseItem>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QtTest>

namespace {

// The viewport painted item by item as designed: no cache, sprite, view flag or dirty region.
QImage plainFrame(const QGraphicsView& view)
{
    const QWidget* port = view.viewport();
    const qreal ratio = port->devicePixelRatioF();
    QImage frame(port->size() * ratio, QImage::Format_RGB32);
    frame.setDevicePixelRatio(ratio);
    frame.fill(port->palette().color(port->backgroundRole()));
    QPainter painter(&frame);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    for (QGraphicsItem* item : view.scene()->items(Qt::AscendingOrder)) {
        // A dot forwards its paint to its disc: plainly, the disc paints for both.
        QGraphicsItem* painted =
            dynamic_cast<QGraphicsDot*>(item) ? item->childItems().value(0) : item;
        const bool disc = dynamic_cast<QGraphicsDot*>(item->parentItem());
        if (!item->isVisible() || (item->flags() & QGraphicsItem::ItemHasNoContents && !disc))
            continue;
        painter.save();
        painter.setWorldTransform(item->deviceTransform(view.viewportTransform()));
        painter.setOpacity(item->effectiveOpacity());
        QStyleOptionGraphicsItem option;
        option.exposedRect = item->boundingRect();
        option.rect = option.exposedRect.toAlignedRect();
        if (auto* ellipse = dynamic_cast<QGraphicsEllipseItem*>(painted))
            ellipse->QGraphicsEllipseItem::paint(&painter, &option, nullptr);
        else if (auto* path = dynamic_cast<QGraphicsPathItem*>(painted))
            path->QGraphicsPathItem::paint(&painter, &option, nullptr);
        else
            painted->paint(&painter, &option, nullptr);
        painter.restore();
    }
    return frame;
}

// Per channel in steps of 1/255: antialiased edges may move a little, the picture may not.
bool alike(const QImage& a, const QImage& b, double meanLimit = 1, int largestLimit = 48)
{
    if (a.isNull() || a.size() != b.size()) return false;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    long long sum = 0;
    int largest = 0;
    for (qsizetype i = 0; i < x.sizeInBytes(); ++i) {
        const int d = std::abs(x.constBits()[i] - y.constBits()[i]); // alpha is opaque in both
        sum += d;
        largest = std::max(largest, d);
    }
    const double mean = double(sum) / (3.0 * x.width() * x.height());
    if (mean <= meanLimit && largest <= largestLimit) return true;
    qInfo("mean %.3f, largest %d", mean, largest);
    return false;
}

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
    // The viewport as the window's backing store holds it: every update so far.
    QImage shown() const
    {
        const auto* image = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
        const qreal ratio = port()->devicePixelRatioF(); // the store counts device pixels
        return image ? image->copy(
                           QRect(port()->mapTo(&window, QPoint()) * ratio, port()->size() * ratio))
                     : QImage();
    }
    // Rings and overlapping dots at scattered sub-pixel places, many on arrows.
    void dropDots()
    {
        for (int i = 0; i < 30; ++i)
            window.mousePressed(QPointF(-4.2 + 1.71 * (i / 5) + 0.013 * (i % 5),
                                        -3.9 + 1.53 * (i % 5) + 0.029 * (i / 5)));
        for (int k = 0; k < 40; ++k)
            window.mouseDragged(QPointF(-2.7 + 0.073 * k, 0.55 + 0.0131 * k), QVector2D());
    }
    void ticks()
    {
        for (int i = 0; i < 3; ++i) {
            window.advanceDots(40);
            settle();
        }
    }
};

} // namespace

class PictureTest : public QObject
{
    Q_OBJECT

private slots:
    // Whatever the window repainted after each step, its backing store holds the whole picture,
    // up to close-ups where the discs are larger than their sprites.
    void noStalePixels()
    {
        ShownField f("-y", "x", QSize(640, 480));
        f.dropDots();
        const auto key = [&f](Qt::Key k) { return [&f, k] { f.key(k); }; };
        const std::pair<const char*, std::function<void()>> steps[] = {
            {"first frame", [] {}},
            {"larger", [&] { f.resizeView(QSize(1280, 800)); }},
            {"smaller", [&] { f.resizeView(QSize(500, 420)); }},
            {"line on", key(Qt::Key_L)},
            {"curve on", key(Qt::Key_C)},
            {"line off", key(Qt::Key_L)},
            {"curve off", key(Qt::Key_C)},
            // Enough dots for the window to repaint its whole view.
            {"many more dots",
             [&] {
                 for (int i = 0; i < 60; ++i)
                     f.window.mousePressed(QPointF(-4.6 + 0.157 * i, 2.9 - 0.093 * i));
             }},
            {"cleared", key(Qt::Key_Space)},
            {"one dot", [&] { f.window.mouseDragged(QPointF(1.2, 0.7), QVector2D()); }},
            {"a few dots again", [&] { f.dropDots(); }},
            {"close up",
             [&] {
                 f.view()->scale(12, 12);
                 f.view()->centerOn(QPointF(-0.75, -0.78)); // a ring's centre
             }},
            {"discs larger than sprites", [&] { f.view()->scale(2.5, 2.5); }},
        };
        for (const auto& [name, step] : steps) {
            step();
            for (const char* when : {"", " and ticks"}) {
                settle();
                QVERIFY2(alike(f.shown(), plainFrame(*f.view())), name + QByteArray(when));
                f.ticks();
            }
        }
    }

    // Without extras the frame is as designed; each extra shows, and when off leaves it exactly.
    void extrasSwitchedOffLeaveTheDesignedFrame()
    {
        ShownField f("0", "0", QSize(640, 480)); // nothing moves: the frame stays comparable
        f.dropDots();
        settle();
        const QImage designed = f.shown();
        QVERIFY(alike(designed, plainFrame(*f.view())));
        // Keys on, then off: also one map replacing the other, and all the analysis at once.
        const std::pair<QByteArray, QByteArray> switches[] = {
            {"T", "T"}, {"F", "F"},  {"D", "D"},      {"E", "E"}, {"H", "H"},   {"I", "I"},
            {"R", "R"}, {"RD", "D"}, {"DEIR", "IER"}, {"P", "P"}, {"F+", "-F"}, {"A", "A"},
            {"N", "N"}, {"O", "O"},  {"NOE", "EON"},  {"L", "L"}, {"C", "C"},   {"W", "W"}};
        QString tested;
        for (const auto& [on, off] : switches) {
            tested += on;
            for (const char key : on)
                f.key(Qt::Key(key));
            f.ticks();
            // Trails of dots that stand still lie under the dots; O changes what clicks do.
            if (on != "T" && on != "O") QVERIFY2(f.shown() != designed, on);
            for (const char key : off)
                f.key(Qt::Key(key));
            settle();
            QVERIFY2(alike(f.shown(), designed, 0, 0), on);
        }
        for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key) // every key the command line may press
            QVERIFY2(!VFWindow::togglesWith(key) || tested.contains(QChar(key)),
                     qPrintable(QChar(key)));
    }
};

QTEST_MAIN(PictureTest)
#include "test_picture.moc"
