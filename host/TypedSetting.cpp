#include "host/TypedSetting.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "host/HostError.h"
#include "host/Suggestions.h"

namespace {

// Texts compared as a reader would: case and blanks do not count.
std::string normalized(const std::string& text) {
    std::string result;
    for (const unsigned char c : text)
        if (!std::isspace(c)) result += static_cast<char>(std::tolower(c));
    return result;
}

// A text as a leading number and what follows it (normalised).
struct NumberAndUnit {
    bool hasNumber = false;
    double number = 0.0;
    int decimals = 0;
    std::string unit;
};

NumberAndUnit split(const std::string& text) {
    NumberAndUnit result;
    const std::string plain = normalized(text);
    const char* start = plain.c_str();
    char* stop = nullptr;
    const double number = std::strtod(start, &stop);
    const std::string read(start, static_cast<const char*>(stop));
    if (std::none_of(read.begin(), read.end(), [](unsigned char c) { return std::isdigit(c); })) {
        result.unit = plain;
        return result;
    }
    result.hasNumber = true;
    result.number = number;
    const std::size_t point = read.find('.');
    if (point != std::string::npos)
        result.decimals = static_cast<int>(std::count_if(read.begin() + static_cast<long>(point), read.end(),
                                                         [](unsigned char c) { return std::isdigit(c); }));
    result.unit = stop;
    return result;
}

// Nothing but a number, blanks around it allowed ("1 2" is no number).
bool isPlainNumber(const std::string& text) {
    const char* start = text.c_str();
    char* stop = nullptr;
    std::strtod(start, &stop);
    const std::string read(start, static_cast<const char*>(stop));
    return std::any_of(read.begin(), read.end(), [](unsigned char c) { return std::isdigit(c); }) &&
           std::all_of(static_cast<const char*>(stop), start + text.size(),
                       [](unsigned char c) { return std::isspace(c); });
}

// A number with a unit, in the unit's base (kilohertz as hertz); a lone "k" is a kilo of
// whatever unit is shown.
struct Quantity {
    double base = 0.0;
    double factor = 1.0;
    std::string unit;  // without the kilo
};

std::optional<Quantity> quantityOf(const NumberAndUnit& text) {
    if (!text.hasNumber || text.unit.empty()) return std::nullopt;
    const bool kilo = text.unit[0] == 'k';
    Quantity q;
    q.factor = kilo ? 1000.0 : 1.0;
    q.base = text.number * q.factor;
    q.unit = kilo ? text.unit.substr(1) : text.unit;
    return q;
}

// Whether a typed quantity is in the unit a shown one is (its unit, or the beginning of it).
bool sameUnit(const Quantity& typed, const Quantity& shown) {
    return shown.unit.rfind(typed.unit, 0) == 0 && (!typed.unit.empty() || typed.factor > 1.0);
}

// A number in the unit the value shows, closer to it than within steps of its last digit:
// "1200hz" and "1.2k" for "1.2Khz", "37.5%" for "37%" (a step), "11khz" for "11.0Khz" (half).
bool sameQuantity(const NumberAndUnit& typed, const NumberAndUnit& shown, double steps = 1.0) {
    const std::optional<Quantity> t = quantityOf(typed), s = quantityOf(shown);
    if (!t || !s || !sameUnit(*t, *s)) return false;
    return std::fabs(t->base - s->base) < steps * std::pow(10.0, -shown.decimals) * s->factor;
}

class Reader {
public:
    Reader(ComponentHost& c, std::uint32_t parameter) : component(c), id(parameter) {}

    std::optional<float> read(const std::string& text) { return component.valueFromText(id, text); }
    std::string shown(float value) { return component.valueText(id, value); }
    bool shows(float value, const std::string& wanted) { return normalized(shown(value)) == wanted; }

    // A value that shows wanted (normalised), when the values that do form one stretch: the
    // type-in's own reading of the text's number or of its negation when that lies in it (30L
    // is what -30 gives), else the end of the range it reaches, else its middle.
    // The texts the value shows from 0 to 1, once each.
    std::vector<std::string> texts() {
        std::vector<std::string> distinct;
        for (const std::string& text : grid())
            if (std::find(distinct.begin(), distinct.end(), text) == distinct.end()) distinct.push_back(text);
        return distinct;
    }

    std::optional<float> valueShowing(const std::string& wanted) {
        std::vector<std::string> texts(STEPS + 1);
        int first = -1, last = -1;
        for (int i = 0; i <= STEPS; ++i) {
            texts[i] = normalized(grid()[static_cast<std::size_t>(i)]);
            if (texts[i] != wanted) continue;
            if (first >= 0 && last != i - 1) return std::nullopt;  // two stretches: ambiguous
            if (first < 0) first = i;
            last = i;
        }
        if (first < 0) return betweenSteps(wanted, texts);
        float low = at(first), high = at(last);
        if (first > 0) low = edge(at(first - 1), low, wanted);
        if (last < STEPS) high = edge(at(last + 1), high, wanted);
        const NumberAndUnit number = split(wanted);
        if (number.hasNumber)
            for (const double t : {number.number, -number.number}) {
                const std::optional<float> typed = read(std::to_string(t));
                if (typed && *typed >= low && *typed <= high && shows(*typed, wanted)) return typed;
            }
        if (first == 0) return 0.0f;  // an end the stretch reaches: Off is 0, 100R is 1
        if (last == STEPS) return 1.0f;
        const float middle = low + (high - low) / 2.0f;
        return shows(middle, wanted) ? middle : low;
    }

private:
    static constexpr int STEPS = 1024;
    static float at(int step) { return static_cast<float>(step) / STEPS; }

    // The text at each step from 0 to 1.
    const std::vector<std::string>& grid() {
        if (steps.empty())
            for (int i = 0; i <= STEPS; ++i) steps.push_back(shown(at(i)));
        return steps;
    }

    // The value next to inside, towards outside, where the text stops being wanted.
    float edge(float outside, float inside, const std::string& wanted) {
        for (int i = 0; i < 40; ++i) {
            const float middle = outside + (inside - outside) / 2.0f;
            if (middle == outside || middle == inside) break;
            (shows(middle, wanted) ? inside : outside) = middle;
        }
        return inside;
    }

    // A number text that falls between two neighbouring steps (100ms of a long exponential
    // range): found by halving between steps that show the same unit around it.
    std::optional<float> betweenSteps(const std::string& wanted, const std::vector<std::string>& texts) {
        const NumberAndUnit typed = split(wanted);
        const std::optional<Quantity> target = quantityOf(typed);
        if (!target) return std::nullopt;
        const auto comparable = [&](const std::string& text) {
            const std::optional<Quantity> q = quantityOf(split(text));
            return q && sameUnit(*target, *q) ? q : std::nullopt;
        };
        for (int i = 0; i < STEPS; ++i) {
            const std::optional<Quantity> a = comparable(texts[i]), b = comparable(texts[i + 1]);
            if (!a || !b || (a->base - target->base) * (b->base - target->base) > 0.0) continue;
            float low = at(i), high = at(i + 1);
            std::optional<float> near;  // within a step of the last digit shown
            for (int n = 0; n < 40; ++n) {
                const float middle = low + (high - low) / 2.0f;
                const std::string text = normalized(shown(middle));
                if (text == wanted || sameQuantity(typed, split(text), 0.5)) return middle;
                if (!near && sameQuantity(typed, split(text))) near = middle;
                const std::optional<Quantity> m = comparable(text);
                if (!m || middle == low || middle == high) break;
                ((m->base - target->base) * (a->base - target->base) > 0.0 ? low : high) = middle;
            }
            if (near) return near;
        }
        return std::nullopt;
    }

    ComponentHost& component;
    std::uint32_t id;
    std::vector<std::string> steps;
};

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// What the parameter takes, said with its own texts: what a few numbers read as, one of its
// value texts, and the texts closest to what was typed.
std::string formsOf(Reader& reader, const std::string& typed) {
    std::vector<double> numbers{-100.0, 0.0, 1.0, 100.0};
    const NumberAndUnit number = split(typed);
    if (number.hasNumber && std::isfinite(number.number)) numbers.push_back(number.number);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::string examples, example;
    std::vector<std::string> seen;
    for (const double t : numbers) {
        const std::optional<float> value = reader.read(std::to_string(t));
        if (!value) continue;
        const std::string text = reader.shown(*value);
        if (std::find(seen.begin(), seen.end(), text) != seen.end()) continue;
        seen.push_back(text);
        char shortest[32];
        std::snprintf(shortest, sizeof shortest, "%g", t);
        examples += (examples.empty() ? "" : ", ") + std::string(shortest) + " reads " + text;
        if (t == number.number || (t == 1.0 && !number.hasNumber) || example.empty()) example = text;
    }
    // Texts of the same number only: "30L" for "30x", but no other level for "-60dB".
    std::vector<std::string> near;
    for (const std::string& text : reader.texts()) {
        const NumberAndUnit shown = split(text);
        if (!number.hasNumber || (shown.hasNumber && shown.number == number.number)) near.push_back(text);
    }
    return "it takes a number as the editor's Set to Value dialog reads it (" + examples +
           ") or a text as tarnwell params shows the value (such as " + example + ")" +
           didYouMean(typed, near);
}

}  // namespace

float typedSettingValue(ComponentHost& component, std::uint32_t id, const std::string& name,
                        const ParameterSetting& setting) {
    Reader reader(component, id);
    const std::string& text = *setting.typed;
    const std::string prefix = setting.option() + setting.text + ": ";
    if (!reader.read("0")) {
        char line[256];
        std::snprintf(line, sizeof line, "VALUE from 0 (%s) to 1 (%s), such as 0.5 (%s)",
                      reader.shown(0.0f).c_str(), reader.shown(1.0f).c_str(), reader.shown(0.5f).c_str());
        throw HostError(prefix + name + " takes no typed value; set it with --set \"" + name + "=VALUE\", " +
                        line);
    }
    const std::string wanted = normalized(text);
    const NumberAndUnit typed = split(text);
    if (const std::optional<float> value = reader.read(text)) {
        if (isPlainNumber(text)) return *value;  // a number, in the dialog's unit
        const std::string shown = normalized(reader.shown(*value));
        if (shown == wanted || sameQuantity(typed, split(shown))) return *value;
    }
    if (const std::optional<float> value = reader.valueShowing(wanted)) return *value;
    throw HostError(prefix + "parameter " + std::to_string(id) + " (" + name + ") does not take " +
                    quoted(text) + "; " + formsOf(reader, text));
}
