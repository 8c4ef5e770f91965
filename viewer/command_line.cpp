#include "command_line.h"

#include "compile_formula.h"
#include "function_interpreter.h"
#include "region_moves.h"

#include <QCommandLineParser>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#ifndef VF_VERSION
#define VF_VERSION "unknown"
#endif

namespace {

constexpr int kSmallestGrid = 2;
constexpr int kLargestGrid = 200;
constexpr double kLongestTime = 3600; // seconds; a tick of a large flow takes milliseconds
constexpr double kTickSeconds = 0.01;
constexpr int kFewestFlowParticles = 500;
constexpr int kMostFlowParticles = 200000;
constexpr int kSmallestPicture = 16;
constexpr int kLargestPicture = 8192;
constexpr int kPictureLongerSide = 800;
constexpr int kHelpWidth = 100; // characters

// One option of the program: its name, the name of its value (empty for a switch) and what it
// does, as the help shows it.
struct OptionText
{
    const char* name;
    const char* value;
    const char* help;
};

const OptionText kOptions[] = {
    {"fx", "TEXT", "the field's first component Fx, a formula in x and y"},
    {"fy", "TEXT", "the field's second component Fy"},
    {"acceleration", "", "an acceleration field (a velocity field otherwise)"},
    {"region", "XMIN,XMAX,YMIN,YMAX", "the part of the plane shown (-5,5,-5,5 otherwise)"},
    {"grid", "N", "N x N arrows, N from 2 to 200 (20 otherwise)"},
    {"param", "NAME=VALUE",
     "a parameter's value (a name beginning with P, or t); may be given more than once"},
    {"time", "T", "run the animation T seconds (at most 3600) in 10 ms steps first"},
    {"show", "KEYS", "press these toggle keys of the window first, e.g. FT or DEI"},
    {"flow", "COUNT", "the flow view with COUNT particles, from 500 to 200000"},
    {"seed", "N", "fixes every random choice, so that the same command gives the same picture"},
    {"export", "FILE",
     "write the picture to FILE in the format its ending names (.png, .jpg, .svg, ...; "
     ".png added to a name without one) and exit, showing nothing"},
    {"size", "WIDTHxHEIGHT",
     "the exported picture's size in pixels (the region's shape, 800 along its longer side, "
     "otherwise)"},
};

// Qt's own options, which the toolkit reads from the same arguments: accepted and left to it.
const char* const kToolkitOptionsWithValue[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowtitle",       "qwindowicon",   "session",
    "style",           "stylesheet",         "display",       "geometry"};
const char* const kToolkitSwitches[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

QString name(const char* option)
{
    return QString::fromLatin1(option);
}

CommandLineRequest finish(int exitCode, const QString& message)
{
    CommandLineRequest request;
    request.action = CommandLineRequest::Action::Finish;
    request.exitCode = exitCode;
    request.message = message;
    return request;
}

// A rejected argument: its reason on one line, then how the program is called.
CommandLineRequest reject(const QString& reason)
{
    return finish(2, QStringLiteral("vector-fields: %1\n%2").arg(reason, usageText()));
}

// `text` in lines of at most `width` characters, the second and later ones indented by `indent`.
QString wrapped(const QString& text, int width, int indent)
{
    QString result, line;
    for (const QString& word : text.split(QLatin1Char(' '))) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            result += line + QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return result + line;
}

QString helpText()
{
    QString text = usageText() + QStringLiteral("\nWithout options the form opens. With --fx and "
                                                "--fy the field window opens at once; with\n"
                                                "--export only its picture is written. Numbers may "
                                                "be written as formulas without x and y,\n"
                                                "such as 2*PI.\n\n"
                                                "Options:\n");
    QVector<std::pair<QString, QString>> rows;
    for (const OptionText& option : kOptions)
        rows.append({QStringLiteral("--%1 %2").arg(name(option.name), name(option.value)).trimmed(),
                     name(option.help)});
    rows.append({QStringLiteral("-h, --help"), QStringLiteral("this text")});
    rows.append({QStringLiteral("-v, --version"), QStringLiteral("the program's version")});
    int width = 0;
    for (const auto& row : rows)
        width = std::max(width, int(row.first.size()));
    const int indent = 2 + width + 2;
    for (const auto& [option, help] : rows)
        text += QStringLiteral("  %1  %2\n")
                    .arg(option.leftJustified(width), wrapped(help, kHelpWidth - indent, indent));
    return text + QStringLiteral("\nKeys of the field window: L C Space F + - T D R E I P W Home "
                                 "S H F1; Ctrl + wheel zooms,\nthe middle button drags the region. "
                                 "The manual page vector-fields(1) says more.\n");
}

// A number as written (1.5, -2e3) or as a formula without variables (2*PI, -PI/2).
std::optional<double> numberIn(const QString& text)
{
    bool ok = false;
    const double plain = QLocale::c().toDouble(text.trimmed(), &ok);
    if (ok) return plain;
    ParseErrorMsg error{-1, -1, -1};
    const std::unique_ptr<FunctionInterpreter> formula(CompileQuietly(text, error));
    if (!formula || formula->VariableCount() != 0 || !formula->Root() ||
        !formula->Root()->IsConstant())
        return std::nullopt;
    try {
        return formula->Evaluate();
    } catch (const ParseErrorMsg&) {
        return std::nullopt;
    }
}

std::optional<double> finiteNumberIn(const QString& text)
{
    const std::optional<double> value = numberIn(text);
    if (value && std::isfinite(*value)) return value;
    return std::nullopt;
}

// Reads "--region XMIN,XMAX,YMIN,YMAX" into `settings`; the reason when it cannot.
QString readRegion(const QString& text, FieldSettings& settings)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return QStringLiteral("--region %1: four numbers XMIN,XMAX,YMIN,YMAX are needed").arg(text);
    double bounds[4];
    for (int i = 0; i < 4; ++i) {
        const std::optional<double> value = finiteNumberIn(parts[i]);
        if (!value)
            return QStringLiteral("--region %1: '%2' is not a finite number").arg(text, parts[i]);
        bounds[i] = *value;
    }
    settings.xMin = bounds[0];
    settings.xMax = bounds[1];
    settings.yMin = bounds[2];
    settings.yMax = bounds[3];
    if (const char* problem = RegionProblem(regionOf(settings)))
        return QStringLiteral("--region %1: %2").arg(text, QString::fromLatin1(problem));
    return QString();
}

// A whole number from `least` to `most`, or nothing.
std::optional<long long> wholeNumberIn(const QString& text, long long least, long long most)
{
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok);
    if (!ok || value < least || value > most) return std::nullopt;
    return value;
}

QString toggleLetters()
{
    QString letters;
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if (VFWindow::togglesWith(Qt::Key_A + (letter - 'A'))) letters += QLatin1Char(letter);
    return letters;
}

// The letters of "--show" in upper case; the reason in `reason` when one is no toggle key.
QString readKeys(const QString& text, QString& reason)
{
    const QString keys = text.toUpper();
    const QString known = toggleLetters();
    for (const QChar key : keys) {
        if (!known.contains(key)) {
            reason = QStringLiteral("--show %1: %2 is not a key that switches something on or "
                                    "off (those are %3)")
                         .arg(text, QString(key), known);
            return QString();
        }
    }
    return keys;
}

// "--size WIDTHxHEIGHT".
std::optional<QSize> sizeIn(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2) return std::nullopt;
    const auto width = wholeNumberIn(parts[0], kSmallestPicture, kLargestPicture);
    const auto height = wholeNumberIn(parts[1], kSmallestPicture, kLargestPicture);
    if (!width || !height) return std::nullopt;
    return QSize(int(*width), int(*height));
}

bool isParameterName(const QString& text)
{
    return text == QLatin1String("t") || text.startsWith(QLatin1Char('P'));
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "Usage: vector-fields\n"
        "       vector-fields --fx TEXT --fy TEXT [--acceleration] [--region XMIN,XMAX,YMIN,YMAX]\n"
        "                     [--grid N] [--param NAME=VALUE]... [--time T] [--show KEYS]\n"
        "                     [--flow COUNT] [--seed N] [--export FILE [--size WIDTHxHEIGHT]]\n");
}

QSize pictureSizeFor(const Region& region)
{
    const double longer = std::max(region.Width(), region.Height());
    const auto side = [&](double length) {
        return std::max(kSmallestPicture, int(std::lround(kPictureLongerSide * length / longer)));
    };
    return QSize(side(region.Width()), side(region.Height()));
}

CommandLineRequest parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    // Qt's own options come with one dash ("-style fusion"): read them as whole words.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QString()});
    parser.addOption({{QStringLiteral("v"), QStringLiteral("version")}, QString()});
    for (const OptionText& option : kOptions)
        parser.addOption({name(option.name), name(option.help), name(option.value)});
    for (const char* option : kToolkitOptionsWithValue)
        parser.addOption({name(option), QString(), QStringLiteral("value")});
    for (const char* option : kToolkitSwitches)
        parser.addOption({name(option), QString()});

    if (!parser.parse(arguments)) return reject(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) return finish(0, helpText());
    if (parser.isSet(QStringLiteral("version")))
        return finish(0, QStringLiteral("vector-fields %1\n").arg(QStringLiteral(VF_VERSION)));
    if (!parser.positionalArguments().isEmpty())
        return reject(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    CommandLineRequest request;
    const bool anyOfOurs =
        std::any_of(std::begin(kOptions), std::end(kOptions),
                    [&](const OptionText& o) { return parser.isSet(name(o.name)); });
    if (!anyOfOurs) return request; // the form, as designed
    if (!parser.isSet(QStringLiteral("fx")) || !parser.isSet(QStringLiteral("fy")))
        return reject(QStringLiteral("--fx and --fy are both needed"));
    const auto last = [&](const char* option) { return parser.values(name(option)).last(); };

    FieldSettings& settings = request.settings;
    settings = formFieldSettings(parser.isSet(QStringLiteral("acceleration")) ? 2 : 1, last("fx"),
                                 last("fy"));
    if (parser.isSet(QStringLiteral("region"))) {
        const QString reason = readRegion(last("region"), settings);
        if (!reason.isEmpty()) return reject(reason);
        request.start.numberedRegion = true;
    }
    if (parser.isSet(QStringLiteral("grid"))) {
        const auto grid = wholeNumberIn(last("grid"), kSmallestGrid, kLargestGrid);
        if (!grid)
            return reject(QStringLiteral("--grid %1: a whole number from 2 to 200 is needed")
                              .arg(last("grid")));
        settings.xCount = settings.yCount = int(*grid);
    }
    if (parser.isSet(QStringLiteral("time"))) {
        const std::optional<double> seconds = finiteNumberIn(last("time"));
        if (!seconds || *seconds < 0 || *seconds > kLongestTime)
            return reject(
                QStringLiteral("--time %1: seconds from 0 to 3600 are needed").arg(last("time")));
        request.ticks = std::llround(*seconds / kTickSeconds);
    }
    if (parser.isSet(QStringLiteral("show"))) {
        QString reason;
        request.keys = readKeys(last("show"), reason);
        if (!reason.isEmpty()) return reject(reason);
    }
    if (parser.isSet(QStringLiteral("flow"))) {
        const auto count = wholeNumberIn(last("flow"), kFewestFlowParticles, kMostFlowParticles);
        if (!count)
            return reject(QStringLiteral("--flow %1: from 500 to 200000 particles are needed")
                              .arg(last("flow")));
        request.flowCount = int(*count);
    }
    if (parser.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        const qulonglong seed = last("seed").trimmed().toULongLong(&ok);
        if (!ok)
            return reject(QStringLiteral("--seed %1: a whole number from 0 to %2 is needed")
                              .arg(last("seed"))
                              .arg(std::numeric_limits<qulonglong>::max()));
        request.seed = seed;
        request.start.flowSeed = seed;
    }
    const bool exporting = parser.isSet(QStringLiteral("export"));
    if (parser.isSet(QStringLiteral("size"))) {
        if (!exporting) return reject(QStringLiteral("--size goes with --export"));
        const std::optional<QSize> size = sizeIn(last("size"));
        if (!size)
            return reject(QStringLiteral("--size %1: WIDTHxHEIGHT in pixels, each from 16 to "
                                         "8192, is needed")
                              .arg(last("size")));
        request.pictureSize = *size;
    }
    if (exporting) {
        request.exportPath = last("export");
        if (request.exportPath.isEmpty())
            return reject(QStringLiteral("--export: a file name is needed"));
    }

    // The formulas, as the window would compile them, before anything is written.
    std::unique_ptr<FunctionInterpreter> formulas[2];
    const QString texts[2] = {settings.fxText, settings.fyText};
    const QString labels[2] = {QStringLiteral("Fx"), QStringLiteral("Fy")};
    for (int i = 0; i < 2; ++i) {
        ParseErrorMsg error{-1, -1, -1};
        formulas[i].reset(CompileQuietly(texts[i], error));
        if (!formulas[i]) return finish(2, FormulaErrorLine(labels[i], texts[i], error) + '\n');
    }

    for (const QString& assignment : parser.values(QStringLiteral("param"))) {
        const int equals = assignment.indexOf(QLatin1Char('='));
        if (equals < 0)
            return reject(QStringLiteral("--param %1: NAME=VALUE is needed").arg(assignment));
        const QString parameter = assignment.left(equals).trimmed();
        if (!isParameterName(parameter))
            return reject(QStringLiteral("--param %1: a parameter's name begins with P, or is t")
                              .arg(assignment));
        const QByteArray utf8 = parameter.toUtf8();
        if (formulas[0]->FindVariable(utf8.constData()) < 0 &&
            formulas[1]->FindVariable(utf8.constData()) < 0)
            return reject(
                QStringLiteral("--param %1: neither formula has %2").arg(assignment, parameter));
        const std::optional<double> value = finiteNumberIn(assignment.mid(equals + 1));
        if (!value)
            return reject(QStringLiteral("--param %1: '%2' is not a finite number")
                              .arg(assignment, assignment.mid(equals + 1)));
        request.start.parameters.emplace_back(parameter, *value);
    }

    if (request.flowCount > 0 && !request.keys.contains(QLatin1Char('F')))
        request.keys += QLatin1Char('F');
    if (exporting && request.pictureSize.isEmpty())
        request.pictureSize = pictureSizeFor(regionOf(settings));
    request.action = exporting ? CommandLineRequest::Action::ExportPicture
                               : CommandLineRequest::Action::OpenField;
    return request;
}
