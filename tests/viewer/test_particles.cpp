#include "reference_stepping.h"
#include "viewer_test_support.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cmath>
#include <map>

class ParticlesTest : public QObject
{
    Q_OBJECT

private slots:
    // However time is split into ticks, F = (1, 0) moves a dot as far as the time; where F
    // has a name without a value it fails everywhere, and the dot stays.
    void velocityIndependentOfTheTicks()
    {
        for (const auto& ticks : {QVector<qint64>{1000}, QVector<qint64>(100, 10),
                                  QVector<qint64>{3, 0, 997}, QVector<qint64>(62, 16) << 8}) {
            for (const auto& [fx, end] : {std::pair("1", QPointF(-1, 0.5)), {"q", {-2, 0.5}}}) {
                FieldWindow f(fx, "0", 1);
                f.window.mouseDragged(QPointF(-2, 0.5), QVector2D(7, 7));
                for (const qint64 ms : ticks)
                    f.window.advanceDots(ms);
                QVERIFY(QLineF(f.dot(), end).length() < 1e-9);
            }
        }
    }

    // The window's own timer moves dots in real time from the window's construction on.
    void timerDrivesTheTicksInRealTime()
    {
        QElapsedTimer sinceBuilt, clock; // the window's clock starts in its constructor
        sinceBuilt.start();
        FieldWindow f("1", "0", 1, true);
        f.window.mouseDragged(QPointF(-4, 0), QVector2D());
        double start = 0;
        qint64 builtMs = 0, elapsedNs = 0;
        int ticks = 0;
        QEventLoop loop;
        // Connected after the window's own tick, so both clocks are read next to each other.
        connect(f.timer, &QTimer::timeout, &loop, [&] {
            if (ticks == 0) {
                start = f.dot().x();
                builtMs = sinceBuilt.elapsed();
                clock.start();
            } else if (ticks == 100) {
                elapsedNs = clock.nsecsElapsed();
                loop.quit();
            }
            ++ticks;
        });
        loop.exec();
        QVERIFY(start + 4 <= builtMs / 1000.0 + 0.001);
        const double moved = f.dot().x() - start;
        QVERIFY2(std::abs(moved - elapsedNs / 1e9) < 0.002, qPrintable(QString::number(moved)));
    }

    // A press drops a ring of ten colours; a drag launches a red dot with its velocity.
    void pressDropsARingDragLaunchesADot()
    {
        FieldWindow ring("0", "0", 1);
        QTest::mouseClick(ring.port(), Qt::LeftButton, {}, QPoint(150, 120));
        QSet<int> tenths;
        QSet<QRgb> colours;
        for (const QGraphicsDot* dot : ring.dots()) {
            const QPointF offset = (dot->pos() - ring.at({150, 120})) / 0.15;
            const double turn = std::atan2(offset.y(), offset.x()) / (2 * M_PI) * 10;
            QVERIFY(std::abs(std::hypot(offset.x(), offset.y()) - 1) < 1e-9 &&
                    std::abs(turn - qRound(turn)) < 1e-9);
            tenths.insert((qRound(turn) + 10) % 10);
            colours.insert(dot->dotColor().rgb());
        }
        QVERIFY(tenths.size() == 10 && colours.size() == 10);

        FieldWindow launch("0", "0", 2);
        QTest::mousePress(launch.port(), Qt::LeftButton, {}, QPoint(100, 200));
        QCOMPARE(launch.dots().size(), 0);
        QTest::mouseRelease(launch.port(), Qt::LeftButton, {}, QPoint(160, 110));
        QVERIFY(launch.dot() == launch.at({100, 200}) && launch.dots()[0]->dotColor() == Qt::red);
        launch.window.advanceDots(1000);
        QVERIFY(QLineF(launch.dot(), launch.at({160, 110})).length() < 1e-5);
    }

    // Stepped together, every dot ends exactly where stepping it alone puts it, failing or not.
    void ticksMatchSteppingEachDotAlone()
    {
        const std::tuple<const char*, const char*, int> cases[] = {
            {"1", "x > 0.5 ? sqrt(-1 - y*y) : 0.25", 1},
            {"-y / x", "ln(x*y)", 1},
            {"EXP(EXP(EXP(x)))", "1", 1},
            {"3", "x > 0.5 ? ln(-x) : 0", 2},
            {"-y + 1/(x - 1)", "x - asin(y / 2.5)", 2}};
        for (const auto& [fx, fy, mode] : cases) {
            FieldWindow f(fx, fy, mode);
            FieldFormulas formulas(fx, fy);
            std::vector<Particle> expected;
            std::map<const QGraphicsDot*, size_t> index;
            for (int i = 0; i < 200; ++i) {
                const Particle p{-3 + 0.3 * (i % 20), -3 + 0.6 * (i / 20), float(i % 7) - 3, 1};
                f.window.mouseDragged(QPointF(p.x, p.y), QVector2D(p.vx, p.vy));
                for (const QGraphicsDot* dot : f.dots())
                    index.emplace(dot, expected.size());
                expected.push_back(mode == 1 ? Particle{p.x, p.y, 0, 0} : p);
            }
            int failures = 0;
            for (int tick = 0; tick < 5; ++tick) {
                f.window.advanceDots(20);
                failures += ReferenceTick(mode == 1 ? FieldKind::Velocity : FieldKind::Acceleration,
                                          formulas, expected, 0.002, 10);
                for (const QGraphicsDot* dot : f.dots()) {
                    const Particle& e = expected[index.at(dot)];
                    QVERIFY2(dot->pos() == QPointF(e.x, e.y), fy);
                }
            }
            QVERIFY2(failures > 0, fx);
        }
    }
};

QTEST_MAIN(ParticlesTest)
#include "test_particles.moc"
