// Pictures from the command line: written whole, repeatable, and showing the designed plot.

#include "command_line.h"
#include "equilibrium_markers.h"
#include "field_launch.h"
#include "viewer_test_support.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <set>

namespace {

// Exports what the arguments ask for; the exit code, and the reason when it is not 0.
std::pair<int, QString> exported(const QStringList& arguments, QString* note = nullptr)
{
    const CommandLineRequest request = parseCommandLine(QStringList{"vector-fields"} + arguments);
    if (request.action != CommandLineRequest::Action::ExportPicture) return {-1, request.message};
    QString failure, plotNote;
    const int code = exportPicture(request, failure, plotNote);
    if (note) *note = plotNote;
    return {code, failure};
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The pixels that are not white.
int inked(const QImage& picture, const QRect& where)
{
    int count = 0;
    for (int y = where.top(); y <= where.bottom(); ++y)
        for (int x = where.left(); x <= where.right(); ++x)
            count += picture.pixel(x, y) != qRgb(255, 255, 255);
    return count;
}

} // namespace

class ExportTest : public QObject
{
    Q_OBJECT

private slots:
    // An SVG of F = (-y, x) holds one arrow per grid point of the designed sampling, at the
    // view's scale; each points along F. The PNG is the same view in pixels.
    void arrowsWhereTheDesignedSamplingPutsThem()
    {
        QTemporaryDir folder;
        const QString svg = folder.filePath("field.svg"), png = folder.filePath("field.png");
        const QStringList field{"--fx", "-y", "--fy", "x", "--size", "404x404"};
        QCOMPARE(exported(field + QStringList{"--export", svg}).first, 0);
        QCOMPARE(exported(field + QStringList{"--export", png}).first, 0);

        // Each arrow: a group whose matrix maps the plane to the picture, then its outline. A
        // full arrow's starts half a shaft's width either side of the anchor and has its tip
        // fifth; a short one, only a head, starts at the anchor and has its tip third.
        const QRegularExpression arrow(
            "transform=\"matrix\\(([^)]*)\\)\"[^<]*>\\s*<path[^>]* d=\"([^\"]*)\"");
        std::set<std::pair<int, int>> cells;
        auto found = arrow.globalMatch(QString::fromUtf8(contents(svg)));
        while (found.hasNext()) {
            const auto match = found.next();
            QCOMPARE(match.captured(1), QString("40,0,0,-40,202,202")); // 400 pixels for 10 units
            QVector<QPointF> points;
            for (const QString& point : match.captured(2).split(' ')) {
                const QStringList xy = point.mid(1).split(',');
                points.append(QPointF(xy[0].toDouble(), xy[1].toDouble()));
            }
            const bool full = points.size() == 8;
            QVERIFY(full || points.size() == 5);
            const QPointF anchor = full ? (points[0] + points[1]) / 2 : points[0];
            const double i = (anchor.x() + 4.75) / 0.5, j = (anchor.y() + 4.75) / 0.5;
            QVERIFY(std::abs(i - std::round(i)) < 1e-3 && std::abs(j - std::round(j)) < 1e-3);
            cells.insert({int(std::round(i)), int(std::round(j))});
            // The tip lies along (-y, x).
            const QPointF tip = points[full ? 4 : 2] - anchor;
            const double x = anchor.x(), y = anchor.y();
            QVERIFY(std::abs(tip.x() * x + tip.y() * y) < 1e-2 * std::hypot(x, y) &&
                    tip.y() * x - tip.x() * y > 0);
        }
        QCOMPARE(int(cells.size()), 400);
        QVERIFY(cells.begin()->first == 0 && cells.rbegin()->first == 19);

        const QImage picture(png);
        QCOMPARE(picture.size(), QSize(404, 404));
        QVERIFY(inked(picture, picture.rect()) > 2000);
        QCOMPARE(picture.pixel(0, 0), qRgb(255, 255, 255));
    }

    // The same command gives the same bytes: the flow's places, RAND in a formula and the time
    // all come from the seed and the fixed ticks; another seed gives another picture.
    void sameCommandSameBytes()
    {
        QTemporaryDir folder;
        const QStringList command{"--fx",   "y + RAND(0.5)", "--fy",   "-x", "--flow", "2000",
                                  "--time", "1.5",           "--show", "TD", "--size", "320x240"};
        QByteArray pictures[3];
        const char* seeds[] = {"42", "42", "43"};
        for (int i = 0; i < 3; ++i) {
            const QString path = folder.filePath(QString("run%1.png").arg(i));
            QCOMPARE(exported(command + QStringList{"--seed", seeds[i], "--export", path}).first,
                     0);
            pictures[i] = contents(path);
        }
        QVERIFY(!pictures[0].isEmpty() && pictures[0] == pictures[1]);
        QVERIFY(pictures[2] != pictures[0]);
    }

    // A parameter is in place before the first sample: the picture of the formula with its value
    // written in. Time moves the flow: none drawn before it runs.
    void parametersAndTime()
    {
        QTemporaryDir folder;
        const auto picture = [&](const QStringList& arguments) {
            const QString path = folder.filePath("p.png");
            QFile::remove(path);
            exported(arguments + QStringList{"--export", path, "--size", "200x200"});
            return contents(path);
        };
        QCOMPARE(picture({"--fx", "Pa*y - x", "--fy", "-x", "--param", "Pa=2.5"}),
                 picture({"--fx", "2.5*y - x", "--fy", "-x"}));
        QVERIFY(picture({"--fx", "Pa*y - x", "--fy", "-x", "--param", "Pa=1"}) !=
                picture({"--fx", "2.5*y - x", "--fy", "-x"}));

        // The flow's legend stands in the bottom-left corner: the top half is the field's alone.
        const QRect field(0, 0, 200, 100);
        const QImage still = QImage::fromData(picture({"--fx", "0", "--fy", "0", "--flow", "500"}));
        QCOMPARE(inked(still, field), 0);
        const QImage moving =
            QImage::fromData(picture({"--fx", "0", "--fy", "0", "--flow", "500", "--time", "0.5"}));
        QVERIFY(inked(moving, field) > 50); // particles at rest still mark their places
    }

    // A region given on the command line is numbered along the bottom and left edges; the
    // designed region is not. Without arrows, nothing else is drawn.
    void givenRegionsAreNumbered()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath("r.png");
        QCOMPARE(exported({"--fx", "0", "--fy", "0", "--export", path}).first, 0);
        QImage picture(path);
        QCOMPARE(inked(picture, picture.rect()), 0);
        QCOMPARE(
            exported({"--fx", "0", "--fy", "0", "--region", "-2*PI,2*PI,-3,3", "--export", path})
                .first,
            0);
        picture = QImage(path);
        QCOMPARE(picture.size(), QSize(800, 382));
        const QRect inner = picture.rect().adjusted(70, 0, 0, -30);
        QVERIFY(inked(picture, picture.rect()) > 200 && inked(picture, inner) == 0);
    }

    // A file that cannot be written: exit code 1 with the reason, nothing left behind. A file
    // that is replaced is replaced whole, with nothing else left in its folder.
    void writtenWholeOrNotAtAll()
    {
        QTemporaryDir folder;
        const QString missing = folder.filePath("no/such/folder/f.png");
        const auto [code, failure] = exported({"--fx", "-y", "--fy", "x", "--export", missing});
        QCOMPARE(code, 1);
        QVERIFY2(failure.startsWith("cannot write " + missing + ": "), qPrintable(failure));
        QVERIFY(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

        const QString target = folder.filePath("f.svg");
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(1 << 20, 'x')) > 0);
        old.close();
        QCOMPARE(exported({"--fx", "-y", "--fy", "x", "--export", target}).first, 0);
        QVERIFY(contents(target).startsWith("<?xml") && contents(target).endsWith("</svg>\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"f.svg"});
    }

    // A picture without arrows is written all the same, and the caller hears why; a picture of
    // the equilibria shows them found, not searched for.
    void saysWhyAndWaitsForAnswers()
    {
        QTemporaryDir folder;
        const QString png = folder.filePath("f.png");
        QString note;
        QCOMPARE(exported({"--fx", "2x", "--fy", "y", "--export", png}, &note).first, 0);
        QCOMPARE(note, QString("Fx: \"2x\" has no value; write 2*x."));
        QVERIFY(QFile::exists(png));
        QCOMPARE(exported({"--fx", "2*x", "--fy", "y", "--export", png}, &note).first, 0);
        QVERIFY(note.isEmpty());

        const CommandLineRequest request = parseCommandLine(
            {"vector-fields", "--fx", "x*x - 1", "--fy", "y", "--show", "E", "--export", png});
        VFWindow window(nullptr);
        QVERIFY(launchField(window, request));
        const QList<EquilibriumMarkers*> markers = itemsOf<EquilibriumMarkers>(window);
        QVERIFY(markers.size() == 1 && markers[0]->markers().size() == 2);
    }

    // An ending that names no format is refused with nothing written; the writer, the window's
    // S's, is tested with the window.
    void unknownEndingRefused()
    {
        QTemporaryDir folder;
        const auto [code, failure] =
            exported({"--fx", "-y", "--fy", "x", "--export", folder.filePath("c.nothing")});
        QCOMPARE(code, 1);
        QVERIFY2(failure.contains("names no picture format"), qPrintable(failure));
        QVERIFY(QDir(folder.path()).entryList(QDir::Files).isEmpty());
    }
};

QTEST_MAIN(ExportTest)
#include "test_export.moc"
