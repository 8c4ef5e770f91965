// The program's arguments: what each asks for, and every way one is refused.

#include "command_line.h"
#include "help_overlay.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <set>

namespace {

using Action = CommandLineRequest::Action;

CommandLineRequest parsed(const QStringList& arguments)
{
    return parseCommandLine(QStringList{"vector-fields"} + arguments);
}

const QStringList kField{"--fx", "-y", "--fy", "x"};

QStringList withField(const QStringList& more)
{
    return kField + more;
}

QString sourceText(const char* path)
{
    QFile file(QStringLiteral(VF_SOURCE_DIR "/") + path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The terms a manual page's section lists: the words of each line that follows ".TP".
std::set<QString> manualTerms(const QString& page, const QString& section)
{
    const QString text = page.section(".SH " + section + "\n", 1).section("\n.SH ", 0, 0);
    const QStringList lines = QString(text).replace("\\-", "-").split('\n');
    std::set<QString> terms;
    for (int i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i] != ".TP") continue;
        QString line = lines[i + 1].section(' ', 1);
        line.remove('"').replace(", ", " ");
        for (const QString& word : line.split(' ', Qt::SkipEmptyParts))
            terms.insert(word);
    }
    return terms;
}

std::set<QString> windowKeys()
{
    std::set<QString> keys;
    for (int i = 0; i < kWindowKeyCount; ++i)
        for (const QString& key : QString(kWindowKeys[i].key).split(", "))
            keys.insert(key);
    return keys;
}

const std::set<QString> kOptions{
    "--fx",   "--fy",   "--acceleration", "--region", "--grid", "--param", "--time", "--show",
    "--flow", "--seed", "--export",       "--size",   "-h",     "--help",  "-v",     "--version"};

// A set's words in order, so that a failed comparison shows them.
QString joined(const std::set<QString>& words)
{
    return QStringList(words.begin(), words.end()).join(' ');
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    // Nothing of the program's own (Qt's options are the toolkit's): the form, as designed.
    void withoutOptionsTheForm()
    {
        for (const QStringList& arguments :
             {QStringList{}, QStringList{"-style", "fusion"}, QStringList{"-platform", "xcb"},
              QStringList{"-reverse"}}) {
            const CommandLineRequest request = parsed(arguments);
            QVERIFY2(request.action == Action::ShowForm, qPrintable(arguments.join(' ')));
        }
    }

    // Each bad input: exit code 2, a one-line reason naming what is wrong, then the usage.
    void refusedArguments()
    {
        const std::pair<QStringList, QString> cases[] = {
            {{"--bogus"}, "Unknown option 'bogus'."},
            {{"--fx"}, "Missing value after '--fx'."},
            {{"--fx", "x"}, "--fx and --fy are both needed"},
            {{"--export", "a.png"}, "--fx and --fy are both needed"},
            {withField({"extra"}), "unexpected argument 'extra'"},
            {withField({"--region", "1,2,3"}),
             "--region 1,2,3: four numbers XMIN,XMAX,YMIN,YMAX are needed"},
            {withField({"--region", "5,1,0,1"}), "--region 5,1,0,1: xMin is not below xMax"},
            {withField({"--region", "0,1,2,2"}), "--region 0,1,2,2: yMin is not below yMax"},
            {withField({"--region", "0,1,a,2"}), "--region 0,1,a,2: 'a' is not a finite number"},
            {withField({"--region", "0,inf,0,1"}),
             "--region 0,inf,0,1: 'inf' is not a finite number"},
            {withField({"--region", "0,1e-9,0,1"}),
             "--region 0,1e-9,0,1: a side is shorter than 1e-6"},
            {withField({"--region", "0,1e7,0,1e7"}),
             "--region 0,1e7,0,1e7: a side is longer than 1e6"},
            {withField({"--grid", "1"}), "--grid 1: a whole number from 2 to 200 is needed"},
            {withField({"--grid", "201"}), "--grid 201: a whole number from 2 to 200 is needed"},
            {withField({"--grid", "2.5"}), "--grid 2.5: a whole number from 2 to 200 is needed"},
            {withField({"--show", "LQ"}), "--show LQ: Q is not a key that switches something on or "
                                          "off (those are ACDEFHILNOPRTW)"},
            {withField({"--show", "S"}), "--show S: S is not a key that switches something on or "
                                         "off (those are ACDEFHILNOPRTW)"},
            {withField({"--time", "-1"}), "--time -1: seconds from 0 to 3600 are needed"},
            {withField({"--time", "soon"}), "--time soon: seconds from 0 to 3600 are needed"},
            {withField({"--flow", "499"}), "--flow 499: from 500 to 200000 particles are needed"},
            {withField({"--seed", "-3"}),
             "--seed -3: a whole number from 0 to 18446744073709551615 is needed"},
            {withField({"--size", "640x400"}), "--size goes with --export"},
            {withField({"--export", "a.png", "--size", "640"}),
             "--size 640: WIDTHxHEIGHT in pixels, each from 16 to 8192, is needed"},
            {withField({"--export", "a.png", "--size", "9000x10"}),
             "--size 9000x10: WIDTHxHEIGHT in pixels, each from 16 to 8192, is needed"},
            {withField({"--export", ""}), "--export: a file name is needed"},
            {{"--fx", "Pa*y", "--fy", "x", "--param", "Pa"}, "--param Pa: NAME=VALUE is needed"},
            {{"--fx", "q*y", "--fy", "x", "--param", "q=1"},
             "--param q=1: a parameter's name begins with P, or is t"},
            {{"--fx", "Pa*y", "--fy", "x", "--param", "Pb=1"},
             "--param Pb=1: neither formula has Pb"},
            {{"--fx", "Pa*y", "--fy", "x", "--param", "Pa=two"},
             "--param Pa=two: 'two' is not a finite number"},
            {{"--fx", "Pa*y", "--fy", "x", "--param", "Pa=1/0"},
             "--param Pa=1/0: '1/0' is not a finite number"},
        };
        for (const auto& [arguments, reason] : cases) {
            const CommandLineRequest request = parsed(arguments);
            QVERIFY2(request.action == Action::Finish, qPrintable(arguments.join(' ')));
            QCOMPARE(request.exitCode, 2);
            QCOMPARE(request.message, "vector-fields: " + reason + "\n" + usageText());
        }
    }

    // A formula that does not compile: its own message with its place, and no usage. Places
    // count characters, not the bytes of their UTF-8 form.
    void refusedFormulas()
    {
        const std::pair<QStringList, QString> cases[] = {
            {{"--fx", "x +", "--fy", "y"}, "Fx: Syntax Error. Empty Expression. at character 4"},
            {{"--fx", "x", "--fy", "(x*y) y"}, "Fy: Syntax Error. at characters 5\u20137"},
            {{"--fx", "x", "--fy", "SIN(x))"}, "Fy: Error: Unbalanced parenthesis. at character 7"},
            {{"--fx", "é*x + a = b", "--fy", "y"},
             "Fx: Error: Unknown Operator type. at character 9"},
            {{"--fx", "x", "--fy", "SQRT(-1)"},
             "Fy: Error: Square root of a negative number is not allowed."},
            {{"--fx", "", "--fy", "y", "--export", "never.png"},
             "Fx: Syntax Error. Empty Expression. at character 1"},
            {{"--fx", "x", "--fy", "ÿ + FOO(y)"},
             "Fy: Error: Unknown Function type. at characters 5\u20138"},
        };
        for (const auto& [arguments, reason] : cases) {
            const CommandLineRequest request = parsed(arguments);
            QVERIFY2(request.action == Action::Finish, qPrintable(arguments.join(' ')));
            QCOMPARE(request.exitCode, 2);
            QCOMPARE(request.message, reason + "\n");
        }
    }

    // Help and version are answers, not faults; the help names every option.
    void helpAndVersion()
    {
        for (const char* help : {"--help", "-h"}) {
            const CommandLineRequest request = parsed({help});
            QVERIFY(request.action == Action::Finish && request.exitCode == 0);
            QVERIFY(request.message.startsWith(usageText()));
            for (const QString& option : kOptions)
                QVERIFY2(request.message.contains(option), qPrintable(option));
        }
        const CommandLineRequest version = parsed({"--version"});
        QVERIFY(version.action == Action::Finish && version.exitCode == 0);
        QVERIFY(version.message.startsWith("vector-fields "));
    }

    // Every option read into the request: the field window, or its picture.
    void acceptedArguments()
    {
        const CommandLineRequest window =
            parsed({"--fx", "Pk * y", "--fy", "-SIN(x) - t", "--acceleration", "--region",
                    "-2*PI,2*PI,-3,3", "--grid", "30", "--param", "Pk=1.5", "--param", "t=-2e-1",
                    "--time", "2.345", "--show", "dei", "--seed", "18446744073709551615"});
        QVERIFY(window.action == Action::OpenField);
        const FieldSettings& s = window.settings;
        QVERIFY(s.mode == 2 && s.fxText == "Pk * y" && s.fyText == "-SIN(x) - t");
        QVERIFY(s.xMin == -2 * M_PI && s.xMax == 2 * M_PI && s.yMin == -3 && s.yMax == 3);
        QVERIFY(s.xCount == 30 && s.yCount == 30);
        QVERIFY(window.start.parameters ==
                (std::vector<std::pair<QString, double>>{{"Pk", 1.5}, {"t", -0.2}}));
        QVERIFY(window.start.numberedRegion);
        QCOMPARE(window.ticks, 235LL);
        QCOMPARE(window.keys, QString("DEI"));
        QVERIFY(window.seed == std::uint64_t(18446744073709551615ull));
        QCOMPARE(window.start.flowSeed, std::uint64_t(18446744073709551615ull));

        // The form's settings otherwise; --flow switches the flow view on, once.
        const CommandLineRequest picture =
            parsed(kField + QStringList{"--export", "out.svg", "--flow", "800", "--show", "T"});
        QVERIFY(picture.action == Action::ExportPicture && picture.exportPath == "out.svg");
        const FieldSettings form = formFieldSettings(1, "-y", "x");
        QVERIFY(picture.settings.xMin == form.xMin && picture.settings.yMax == form.yMax &&
                picture.settings.xCount == 20 && picture.settings.mode == 1);
        QVERIFY(!picture.start.numberedRegion && !picture.seed && picture.ticks == 0);
        QCOMPARE(picture.keys, QString("TF"));
        QCOMPARE(picture.flowCount, 800);
        QCOMPARE(picture.pictureSize, QSize(800, 800));
        QCOMPARE(parsed(kField + QStringList{"--flow", "500", "--show", "FT"}).keys, QString("FT"));
    }

    // Without --size, a picture takes the region's shape, 800 pixels along its longer side.
    void pictureSizes()
    {
        const std::pair<QStringList, QSize> cases[] = {
            {{"--region", "-10,10,0,5"}, QSize(800, 200)},
            {{"--region", "0,1,0,3"}, QSize(267, 800)},
            {{"--region", "0,1000,0,1"}, QSize(800, 16)}, // no thinner than 16 pixels
            {{"--size", "123x45"}, QSize(123, 45)},
        };
        for (const auto& [arguments, size] : cases)
            QCOMPARE(parsed(kField + QStringList{"--export", "a.png"} + arguments).pictureSize,
                     size);
    }

    // The manual page and the README list every key the help overlay lists, no more; the manual
    // page every option.
    void documentsListEverything()
    {
        const QString page = sourceText("viewer/vector-fields.1");
        QVERIFY(!page.isEmpty());
        std::set<QString> keys = manualTerms(page, "KEYS");
        keys.erase("Middle"); // two words for one key
        keys.erase("drag");
        std::set<QString> listed = windowKeys();
        listed.erase("Middle drag");
        QCOMPARE(joined(keys), joined(listed));

        std::set<QString> options;
        for (const QString& term : manualTerms(page, "OPTIONS"))
            if (term.startsWith('-')) options.insert(term);
        QCOMPARE(joined(options), joined(kOptions));

        // The README's table of keys: its first column, "(also =)" aside.
        std::set<QString> inReadme;
        const QRegularExpression row("^\\| ([^|]+) \\| [^|]+ \\|$",
                                     QRegularExpression::MultilineOption);
        const QString readme = sourceText("README.md");
        const QString table = readme.section("| key | action |", 1).section("\n\n", 0, 0);
        auto rows = row.globalMatch(table);
        while (rows.hasNext())
            for (const QString& key : rows.next().captured(1).remove(" (also =)").split(", "))
                inReadme.insert(key);
        QCOMPARE(joined(inReadme), joined(windowKeys()));
    }
};

QTEST_MAIN(CommandLineTest)
#include "test_command_line.moc"
