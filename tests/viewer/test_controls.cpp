#include "fading_layer.h"
#include "field_map_layer.h"
#include "flow_layer.h"
#include "help_overlay.h"
#include "map_legend.h"
#include "scale_legend.h"
#include "status_line.h"
#include "viewer_test_support.h"

#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A shown window of F = (1, 0).
struct Field : FieldWindow
{
    explicit Field(bool timerRuns = true) : FieldWindow("1", "0", 1, timerRuns)
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

// How many pixels of a layer's picture are not transparent.
int inked(const QImage& picture)
{
    const auto* pixels = reinterpret_cast<const QRgb*>(picture.constBits());
    return std::count_if(pixels, pixels + picture.width() * picture.height(),
                         [](QRgb pixel) { return qAlpha(pixel) > 0; });
}

} // namespace

class ControlsTest : public QObject
{
    Q_OBJECT

private slots:
    // P holds every particle, even those dropped meanwhile; resuming, nothing jumps.
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

    // T draws where the particles went, fainter the older; F streams flow particles under the
    // arrows, + (=) and - double and halve them, and P holds them. Neither exists before its key;
    // that both go again is the picture test's.
    void trailsAndFlow()
    {
        Field f(false);
        f.window.mouseDragged(QPointF(-2, 1), QVector2D());
        QVERIFY(itemsOf<FadingLayer>(f.window).isEmpty());
        f.key(Qt::Key_T, Qt::AltModifier);
        FadingLayer* trails = itemsOf<FadingLayer>(f.window).value(0);
        f.key(Qt::Key_F, Qt::ShiftModifier);
        FlowLayer* flow = itemsOf<FlowLayer>(f.window).value(0);
        QVERIFY(trails->isVisible() && flow->isVisible() && flow->zValue() < 0);
        f.run(50, 10); // half a unit to the right
        const auto alphaAt = [&](double x, double y) {
            return qAlpha(trails->picture().pixel(trails->pixelOf(QPointF(x, y)).toPoint()));
        };
        QVERIFY(alphaAt(-1.55, 1) > 100 && alphaAt(-1.95, 1) > 0);
        QVERIFY(alphaAt(-1.95, 1) < alphaAt(-1.55, 1) && alphaAt(-1.75, 1.3) == 0);
        QVERIFY(inked(flow->picture()) > 4000);

        // From 5,000 up, down, and against the floor and the ceiling.
        const std::tuple<Qt::Key, int, int> steps[] = {{Qt::Key_Plus, 1, 10000},
                                                       {Qt::Key_Equal, 1, 20000},
                                                       {Qt::Key_Minus, 1, 10000},
                                                       {Qt::Key_Minus, 6, 500},
                                                       {Qt::Key_Plus, 9, 200000}};
        for (const auto& [key, times, count] : steps) {
            for (int i = 0; i < times; ++i)
                f.key(key, i % 2 ? Qt::KeypadModifier : Qt::NoModifier);
            QCOMPARE(f.window.flowParticleCount(), count);
        }
        f.key(Qt::Key_P);
        const QImage held = flow->picture();
        f.window.update(); // a tick of the paused window
        QVERIFY(flow->picture() == held);
    }

    // A line in the corner says what is on only while something is: paused, a flow count
    // other than the first.
    void statusLine()
    {
        Field f(false);
        auto* status = f.window.findChild<StatusLine*>();
        QVERIFY(status && !status->isVisible());
        const std::pair<Qt::Key, const char*> steps[] = {
            {Qt::Key_P, "paused"},
            {Qt::Key_Plus, "paused  \u00b7  10000 flow particles"},
            {Qt::Key_P, "10000 flow particles"},
            {Qt::Key_Minus, ""},
            {Qt::Key_Minus, "2500 flow particles"},
            {Qt::Key_Equal, ""}};
        for (const auto& [key, text] : steps) {
            f.key(key);
            QCOMPARE(status->text(), QString::fromUtf8(text));
            QCOMPARE(status->isVisible(), !status->text().isEmpty());
            if (status->isVisible()) {
                const QRect port = f.port()->geometry();
                QVERIFY(port.contains(status->geometry()));
                QVERIFY(status->geometry().bottomRight().x() > port.center().x() &&
                        status->geometry().bottomRight().y() > port.center().y());
            }
        }
    }

    // The flow view has its legend, speeds from 0 to where its colours end; a map's legend
    // and it stand one above the other, and it goes with the flow.
    void flowLegendBesideAMap()
    {
        Field f(false);
        auto* legend = f.window.findChild<ScaleLegend*>();
        QVERIFY(legend && !legend->isVisible());
        f.key(Qt::Key_F);
        f.run(20, 10);
        FlowLayer* flow = itemsOf<FlowLayer>(f.window).value(0);
        QVERIFY(legend->isVisible() && flow->speedScale() > 0);
        QCOMPARE(legend->texts().value(0), QString("flow speed"));
        QCOMPARE(legend->texts().value(1), QString("0"));
        QVERIFY(std::abs(legend->texts().value(2).toDouble() / flow->speedScale() - 1) < 0.06);
        const QRect port = f.port()->geometry();
        const QRect alone = legend->geometry();
        QVERIFY(port.contains(alone) && alone.bottom() > port.center().y());

        f.key(Qt::Key_D);
        auto* mapLegend = f.window.findChild<MapLegend*>();
        QVERIFY(mapLegend->isVisible() && legend->isVisible());
        QVERIFY(!mapLegend->geometry().intersects(legend->geometry()));
        QVERIFY(port.contains(mapLegend->geometry()) && port.contains(legend->geometry()));
        QCOMPARE(mapLegend->geometry().bottom(), alone.bottom());
        f.key(Qt::Key_D);
        QCOMPARE(legend->geometry(), alone);
        f.key(Qt::Key_F);
        QVERIFY(!legend->isVisible());
    }

    // A: every arrow as long as the designed longest, its way kept, coloured by |F| with a
    // legend. That A again gives the designed frame back is the picture test's.
    void sameLengthArrows()
    {
        FieldWindow f("y", "(1 - x^2)*y - x");
        QList<QGraphicsArrow*> arrows = itemsOf<QGraphicsArrow>(f.window);
        std::map<QGraphicsArrow*, QVector2D> designed;
        float longest = 0;
        for (QGraphicsArrow* arrow : arrows) {
            designed[arrow] = arrow->arrowVector();
            longest = std::max(longest, arrow->arrowVector().length());
        }
        auto* legend = f.window.findChildren<ScaleLegend*>().value(1);
        QVERIFY(legend && !legend->isVisible());

        f.key(Qt::Key_A);
        // |F| is largest at the corners (4.75, 4.75) and (-4.75, -4.75): 107.3, shown as 110.
        const double x = 4.75, y = 4.75;
        const double largest = std::hypot(y, (1 - x * x) * y - x);
        QCOMPARE(legend->texts(), QStringList({"|F| of the arrows", "0", "110"}));
        QVERIFY(f.window.findChild<StatusLine*>()->text().contains("same-length arrows"));
        QSet<QRgb> colours;
        for (QGraphicsArrow* arrow : arrows) {
            const QVector2D was = designed[arrow];
            const QVector2D now = arrow->arrowVector();
            QVERIFY(std::abs(now.length() - longest) < 1e-5f * longest);
            QVERIFY(QVector2D::dotProduct(now.normalized(), was.normalized()) > 0.99999f);
            const QPointF at = arrow->anchorPoint();
            const double magnitude = std::hypot(at.y(), (1 - at.x() * at.x()) * at.y() - at.x());
            const QColor expected = QColor::fromRgb(sequentialColor(magnitude / largest));
            QVERIFY(std::abs(arrow->brush().color().red() - expected.red()) <= 2 &&
                    std::abs(arrow->brush().color().green() - expected.green()) <= 2);
            colours.insert(arrow->brush().color().rgb());
        }
        QVERIFY(colours.size() > 50);

        f.key(Qt::Key_A);
        QVERIFY(!legend->isVisible() && f.window.findChild<StatusLine*>()->text().isEmpty());
    }

    // The help lets clicks through and comes and goes with H or F1; that it lists every key
    // the manual page and the README list is the command line test's.
    void helpOverlay()
    {
        Field f;
        auto* help = f.window.findChild<HelpOverlay*>();
        QVERIFY(help && !help->isVisible());
        f.key(Qt::Key_H);
        QVERIFY(help->isVisible());
        const QPoint underTheHelp = help->mapTo(&f.window, QPoint(20, 20));
        QTest::mouseClick(f.window.windowHandle(), Qt::LeftButton, {}, underTheHelp);
        QCOMPARE(f.dots().size(), 10);
        f.key(Qt::Key_F1);
        QVERIFY(!help->isVisible());
        f.key(Qt::Key_H, Qt::ControlModifier);
        QVERIFY(help->isVisible());
    }

    // S saves a PNG of the view, Ctrl+S an SVG of shapes.
    void savePicture()
    {
        QTemporaryDir folder;
        Field f;
        // Near the left edge: moving right at one unit a second, the ring stays in view for
        // the nine seconds that two dialogs may take on a slow, busy machine.
        f.window.mousePressed(QPointF(-4, 1));
        const QString png = folder.filePath("field.png"), svg = folder.filePath("field.SVG");
        for (const auto& [modifier, name] : {std::pair(Qt::NoModifier, png),
                                             {Qt::ControlModifier, svg},
                                             {Qt::NoModifier, QString()}}) { // cancelled
            ModalAnswer answer(name);
            f.key(Qt::Key_S, modifier);
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 2);
        QCOMPARE(QImage(png).size(), f.port()->size());
        QVERIFY(QImage(png).pixelColor(1, 1) == Qt::white);
        const auto drawing = [&] {
            QFile file(svg);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QVERIFY(QSvgRenderer(drawing()).isValid() && !drawing().contains("<image"));
        QVERIFY(drawing().count("<path") > 100 && drawing().count("<circle") >= 10); // arrows, ring
        f.key(Qt::Key_D);
        QVERIFY(f.window.savePicture(svg));
        QCOMPARE(drawing().count("<image"), 1);
        QCOMPARE(f.dots().size(), 10);
    }

    // Saved in the format the name's ending names, ".png" added to a name without one; an
    // ending that names none is refused with a box and writes nothing. The legends and notes
    // over the view are in the picture, the help is not.
    void savedPictureLooksLikeTheView()
    {
        QTemporaryDir folder;
        Field f(false);
        f.key(Qt::Key_D); // a legend in the bottom-left corner
        f.key(Qt::Key_H);
        settle();
        auto* legend = f.window.findChild<MapLegend*>();
        auto* help = f.window.findChild<HelpOverlay*>();
        QVERIFY(legend->isVisible() && help->isVisible());
        const QPoint corner = f.port()->pos();
        const QRect legendPlace(legend->pos() - corner, legend->size());
        const QRect helpPlace(help->pos() - corner, help->size());
        const QImage field = f.port()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(help->geometry().intersects(f.port()->geometry()));
        // The view with everything over it, as the screen shows it.
        const QImage onScreen = f.view()
                                    ->grab(f.port()->geometry())
                                    .toImage()
                                    .convertToFormat(QImage::Format_RGB32)
                                    .scaled(field.size());

        const std::tuple<const char*, const char*, QByteArray> cases[] = {
            {"field.png", "field.png", "\x89PNG"},
            {"field", "field.png", "\x89PNG"},
            {"field.JPG", "field.JPG", "\xff\xd8\xff"},
            {"field.jpeg", "field.jpeg", "\xff\xd8\xff"},
            {"field.bmp", "field.bmp", "BM"},
            {"field.svg", "field.svg", "<?xml"}};
        for (const auto& [name, written, signature] : cases) {
            QVERIFY2(f.window.savePicture(folder.filePath(name)), name);
            QFile file(folder.filePath(written));
            QVERIFY2(file.open(QIODevice::ReadOnly), written);
            const QByteArray data = file.readAll();
            QVERIFY2(data.startsWith(signature), name);
            if (QByteArray(written).endsWith("svg")) {
                QVERIFY(data.contains(legend->texts()[0].toUtf8())); // the legend's title
                QVERIFY(!data.contains("Keys"));                     // the help's
                continue;
            }
            const QImage saved =
                QImage::fromData(data).convertToFormat(QImage::Format_RGB32).scaled(field.size());
            const bool lossy = QByteArray(name).toLower().contains("jp");
            const auto same = [&](const QImage& a, const QImage& b) {
                long long sum = 0;
                for (int y = 0; y < a.height(); ++y)
                    for (int x = 0; x < a.width(); ++x)
                        sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
                return sum <= (lossy ? 6LL : 0LL) * a.width() * a.height();
            };
            QVERIFY2(same(saved.copy(legendPlace), onScreen.copy(legendPlace)), name);
            QVERIFY2(!same(saved.copy(legendPlace), field.copy(legendPlace)), name);
            QVERIFY2(same(saved.copy(helpPlace), field.copy(helpPlace)), name);
        }
        // A write that fails, or a name without a format: a box, and nothing written.
        const auto entries = [&] {
            return QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        };
        const QStringList files = entries();
        for (const char* refused : {"no/field.png", "no/f.svg", "field.xyz", "field.png.txt"}) {
            ModalAnswer answer;
            QVERIFY(!f.window.savePicture(folder.filePath(refused)));
            QCOMPARE(answer.boxes.size(), 1);
            QVERIFY2(QByteArray(refused).startsWith("no/") ||
                         answer.boxes[0].contains("names no picture format"),
                     qPrintable(answer.boxes[0]));
        }
        QCOMPARE(entries(), files);
    }

    // The save dialog offers the three usual formats.
    void saveDialogOffersPngJpegAndSvg()
    {
        Field f(false);
        QStringList filters;
        QTimer::singleShot(50, [&filters] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            filters = dialog->nameFilters();
            dialog->reject();
        });
        f.key(Qt::Key_S);
        QCOMPARE(filters, QStringList({"PNG image (*.png)", "JPEG image (*.jpg *.jpeg)",
                                       "SVG drawing (*.svg)"}));
    }
};

QTEST_MAIN(ControlsTest)
#include "test_controls.moc"
