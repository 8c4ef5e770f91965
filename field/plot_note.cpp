#include "plot_note.h"

#include "field_model.h"
#include "function_interpreter.h"
#include "parse_error.h"
#include "parse_tables.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// Beyond these, the note names no more and shows no more of a name: it must stay a note.
constexpr std::size_t kMostNamesNoted = 6;
constexpr std::size_t kLongestNameShown = 40;
// Nobody runs a slip together this long; longer names are not taken apart (which would cost time
// and stack per character).
constexpr std::size_t kLongestSlip = 40;

// The C locale's classes, as the engine reads formulas.
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char LowerCase(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerCase(a[i]) != LowerCase(b[i])) return false;
    return true;
}

// How long the decimal number that `text` opens with is, as the engine reads one: digits with
// one point among them, then an exponent where digits follow its "e" (0 when none).
std::size_t NumberLength(std::string_view text)
{
    std::size_t end = 0;
    bool digits = false;
    const auto skipDigits = [&](std::size_t& at) {
        for (; at < text.size() && IsDigit(text[at]); ++at)
            digits = true;
    };
    skipDigits(end);
    if (end < text.size() && text[end] == '.') skipDigits(++end);
    if (!digits) return 0;
    if (end < text.size() && LowerCase(text[end]) == 'e') {
        std::size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
        if (exponent < text.size() && IsDigit(text[exponent])) skipDigits(end = exponent);
    }
    return end;
}

// `name` as the formula that was probably meant, for the slips of people used to writing
// mathematics by hand: a capital X or Y, x and y side by side (xy), a number run into a name (2x)
// and a function name run into its argument (sinx, sin2x); none for anything else.
std::optional<std::string> Meant(std::string_view name)
{
    if (name.empty() || name.size() > kLongestSlip) return std::nullopt;
    if (name == "x" || name == "y") return std::string(name);
    if (name == "X" || name == "Y") return std::string(1, LowerCase(name[0]));
    if (name.size() > 1 && name.find_first_not_of("xy") == std::string_view::npos) {
        std::string product(1, name[0]);
        for (const char c : name.substr(1))
            (product += '*') += c;
        return product;
    }
    if (const std::size_t number = NumberLength(name)) {
        if (number == name.size()) return std::string(name); // an argument: sin2
        const std::string_view rest = name.substr(number);
        if (!IsLetter(rest[0])) return std::nullopt;
        const std::optional<std::string> factor = Meant(rest);
        return std::string(name.substr(0, number)) + "*" + (factor ? *factor : std::string(rest));
    }
    // The longest function name that leaves an argument to be read: sinhx is sinh(x).
    std::optional<std::string> call;
    std::size_t longest = 0;
    for (int code = kFnNone + 1; code < kFunctionTableSize; ++code) {
        const std::string_view function = kFunctionNames[code];
        if (!IsLetter(function[0]) || function.size() <= longest || function.size() >= name.size())
            continue;
        if (!SameLetters(name.substr(0, function.size()), function)) continue;
        if (const std::optional<std::string> argument = Meant(name.substr(function.size()))) {
            call = std::string(name.substr(0, function.size())) + "(" + *argument + ")";
            longest = function.size();
        }
    }
    return call;
}

// Characters that look like the formula language's but are not in it, and what to write.
struct Lookalike
{
    const char* typed;
    const char* meant;
};
constexpr Lookalike kSigns[] = {
    {"\u2212", "-"}, // minus sign
    {"\u00d7", "*"}, // multiplication sign
    {"\u00b7", "*"}, // middle dot
    {"\u00f7", "/"}, // division sign
};
constexpr Lookalike kSuperscripts[] = {
    {"\u2070", "0"}, {"\u00b9", "1"}, {"\u00b2", "2"}, {"\u00b3", "3"},
    {"\u2074", "4"}, {"\u2075", "5"}, {"\u2076", "6"}, {"\u2077", "7"},
    {"\u2078", "8"}, {"\u2079", "9"}, {"\u207a", "+"}, {"\u207b", "-"},
};

// The lookalike that `text` opens with, if any.
const Lookalike* LookalikeAt(std::string_view text, const Lookalike* begin, const Lookalike* end)
{
    for (const Lookalike* sign = begin; sign != end; ++sign)
        if (text.substr(0, std::string_view(sign->typed).size()) == sign->typed) return sign;
    return nullptr;
}

// "write - for −" for every typographic sign in `name`, and "write ^2 for ²" for every run of
// superscripts, each once, in the order they come; empty when there is none.
std::string LookalikeHints(std::string_view name)
{
    std::vector<std::string> hints;
    const auto add = [&hints](const std::string& hint) {
        for (const std::string& given : hints)
            if (given == hint) return;
        hints.push_back(hint);
    };
    for (std::size_t at = 0; at < name.size();) {
        const std::string_view rest = name.substr(at);
        if (const Lookalike* sign = LookalikeAt(rest, std::begin(kSigns), std::end(kSigns))) {
            add(std::string(sign->meant) + " for " + sign->typed);
            at += std::string_view(sign->typed).size();
            continue;
        }
        std::string typed, meant;
        while (const Lookalike* digit =
                   LookalikeAt(name.substr(at + typed.size()), std::begin(kSuperscripts),
                               std::end(kSuperscripts))) {
            typed += digit->typed;
            meant += digit->meant;
        }
        if (typed.empty()) {
            ++at;
            continue;
        }
        add("^" + meant + " for " + typed);
        at += typed.size();
    }
    std::string joined;
    for (const std::string& hint : hints)
        joined += (joined.empty() ? "write " : " and ") + hint;
    return joined;
}

// A name as the note quotes it: whole unless it is very long.
std::string Quoted(std::string_view name)
{
    std::string shown(name.substr(0, kLongestNameShown));
    // Cut between characters, never inside one's UTF-8 bytes.
    while (shown.size() < name.size() && !shown.empty() &&
           (static_cast<unsigned char>(name[shown.size()]) & 0xC0) == 0x80)
        shown.pop_back();
    if (shown.size() < name.size()) shown += "\u2026";
    return "\"" + shown + "\"";
}

struct NameWithoutValue
{
    std::string name;
    bool inFx = false;
    bool inFy = false;
};

// The names of both formulas that read no slot, in the order the formulas name them.
std::vector<NameWithoutValue> NamesWithoutValue(const FunctionInterpreter& fx,
                                                const FunctionInterpreter& fy)
{
    std::vector<NameWithoutValue> names;
    for (const FunctionInterpreter* formula : {&fx, &fy}) {
        for (int i = 0; i < formula->VariableCount(); ++i) {
            if (formula->ValueSlot(i) || !formula->VariableName(i)) continue;
            const std::string name = formula->VariableName(i);
            auto entry = std::find_if(names.begin(), names.end(),
                                      [&](const NameWithoutValue& n) { return n.name == name; });
            if (entry == names.end()) entry = names.insert(names.end(), {name});
            (formula == &fx ? entry->inFx : entry->inFy) = true;
        }
    }
    return names;
}

} // namespace

std::string NameHint(std::string_view name)
{
    const std::string lookalikes = LookalikeHints(name);
    if (!lookalikes.empty()) return lookalikes;
    if (const std::optional<std::string> meant = Meant(name)) {
        if (name == "X" || name == "Y") return "write " + *meant + ": names are case-sensitive";
        return "write " + *meant;
    }
    return "only x, y and names beginning with \"P\" have values";
}

std::string PlotNote(const FunctionInterpreter& fx, const FunctionInterpreter& fy,
                     const ArrowSample& sample)
{
    const std::vector<NameWithoutValue> names = NamesWithoutValue(fx, fy);
    std::string note;
    for (std::size_t i = 0; i < names.size() && i < kMostNamesNoted; ++i) {
        const NameWithoutValue& n = names[i];
        const char* formulas = n.inFx && n.inFy ? "Fx and Fy" : n.inFx ? "Fx" : "Fy";
        note += std::string(note.empty() ? "" : "\n") + formulas + ": " + Quoted(n.name) +
                " has no value; " + NameHint(n.name) + ".";
    }
    if (names.size() > kMostNamesNoted)
        note += "\n\u2026 and " + std::to_string(names.size() - kMostNamesNoted) +
                " more names without a value.";
    if (!note.empty() || !sample.points.empty() || sample.failed.empty()) return note;

    note = "The field cannot be evaluated anywhere in the region. ";
    const ArrowSample::Failure& first = sample.firstFailure;
    if (first.code >= 0)
        return note + (first.component == 0 ? "Fx: " : "Fy: ") + ErrorMessage(first.code);
    return note + "Its vectors are infinite, not numbers, or too long for single precision "
                  "(about 3.4e38).";
}
