#include "tools/bankgen/BankSource.h"

#include "dsp/ControlMath.h"
#include "effect/ProgramName.h"
#include "tools/bankgen/Catalogue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace {

using controlmath::clamp01;  // NaN and anything below 0 give 0

constexpr int NAME_FIRST = 800;
constexpr int XY_X_FIRST = 330;
constexpr int XY_Y_FIRST = 458;
constexpr int GATER_FIRST = 220;
constexpr float PI = 3.14159f;  // the same pi the editor's path shapes use

struct Entry {
    std::string key;
    std::string value;
    int line;
};

std::string collapseBlanks(const std::string& text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r') {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

std::optional<double> parseNumber(const std::string& text) {
    double v = 0.0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool allDigits(const std::string& text, size_t least, size_t most) {
    return text.size() >= least && text.size() <= most &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "Block N rest": the Block 0..2 and the rest, or -1.
int splitBlock(const std::string& key, std::string& rest) {
    const std::string prefix = "Block ";
    if (key.size() < prefix.size() + 2 || key.compare(0, prefix.size(), prefix) != 0) return -1;
    const char n = key[prefix.size()];
    if (n < '1' || n > '3' || key[prefix.size() + 1] != ' ') return -1;
    rest = key.substr(prefix.size() + 2);
    return n - '1';
}

// "XY Point K" or "XY Point K-L": the first and last point, or false.
bool pointRange(const std::string& rest, int& first, int& last) {
    const std::string prefix = "XY Point ";
    if (rest.compare(0, prefix.size(), prefix) != 0) return false;
    const std::string range = rest.substr(prefix.size());
    const auto dash = range.find('-');
    const std::string from = range.substr(0, dash);
    const std::string to = dash == std::string::npos ? from : range.substr(dash + 1);
    if (!allDigits(from, 1, 2) || !allDigits(to, 1, 2)) return false;
    first = std::stoi(from);
    last = std::stoi(to);
    return true;
}

class PresetParser {
public:
    PresetParser(const Catalogue& names, const std::string& fileName) : catalogue(names), file(fileName) {
        for (int i = 0; i < 1024; ++i) preset.values[i] = catalogue.defaultValue(i);
        preset.file = file;
    }

    PresetSource parse(std::istream& in);

private:
    [[noreturn]] void fail(int line, const std::string& message) const {
        throw BankError(file, line, message);
    }

    void readEntries(std::istream& in);
    void setName(const Entry& entry);
    void applyValue(int index, const Entry& entry);
    void applyChoice(int index, const Entry& entry);
    float parseUnit(const Entry& entry, const std::string& text) const;
    void applyShape(int block, const Entry& entry);
    void applyPoints(int block, int first, int last, const Entry& entry);
    void applyPattern(int block, int side, const Entry& entry);
    void setOnce(int index, float value, const Entry& entry);

    const Catalogue& catalogue;
    const std::string file;
    PresetSource preset;
    std::vector<Entry> entries;
    std::map<int, int> setBy;  // parameter index -> line that set it
};

void PresetParser::readEntries(std::istream& in) {
    std::map<std::string, int> seen;
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        const std::string line = collapseBlanks(raw.substr(0, raw.find('#')));
        if (line.empty()) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) fail(lineNo, "expected 'name = value', got '" + line + "'");
        Entry entry{collapseBlanks(line.substr(0, eq)), collapseBlanks(line.substr(eq + 1)), lineNo};
        if (entry.key.empty()) fail(lineNo, "missing parameter name before '='");
        if (entry.value.empty()) fail(lineNo, "missing value for '" + entry.key + "'");
        const auto [it, fresh] = seen.emplace(entry.key, lineNo);
        if (!fresh) {
            fail(lineNo,
                 "'" + entry.key + "' is set twice (first on line " + std::to_string(it->second) + ")");
        }
        entries.push_back(entry);
    }
}

void PresetParser::setName(const Entry& entry) {
    const std::string& name = entry.value;
    if (name.size() > static_cast<size_t>(PRESET_NAME_MAX)) {
        fail(entry.line,
             "preset name '" + name + "' is longer than " + std::to_string(PRESET_NAME_MAX) + " characters");
    }
    for (unsigned char c : name) {
        if (c < 32 || c > 126) fail(entry.line, "preset name holds a character that is not printable ASCII");
    }
    preset.name = name;
    preset.nameLine = entry.line;
    // Past the name the slots stay at 0, which reads as the terminator.
    for (int k = 0; k < PRESET_NAME_MAX; ++k) {
        const bool inName = k < static_cast<int>(name.size());
        preset.values[NAME_FIRST + k] =
            inName ? encodeNameCharacter(static_cast<unsigned char>(name[k])) : 0.0f;
    }
}

void PresetParser::setOnce(int index, float value, const Entry& entry) {
    const auto [it, fresh] = setBy.emplace(index, entry.line);
    if (!fresh) {
        fail(entry.line,
             "'" + entry.key + "' sets a value already set on line " + std::to_string(it->second));
    }
    preset.values[index] = value;
}

float PresetParser::parseUnit(const Entry& entry, const std::string& text) const {
    const auto v = parseNumber(text);
    if (!v) fail(entry.line, "expected a number in [0, 1] for '" + entry.key + "', got '" + text + "'");
    if (*v < 0.0 || *v > 1.0) {
        fail(entry.line, "value " + text + " for '" + entry.key + "' is outside [0, 1]");
    }
    return static_cast<float>(*v);
}

void PresetParser::applyChoice(int index, const Entry& entry) {
    const ChoiceInfo& info = *catalogue.choice(index);
    int option = -1;
    if (index >= 212 && index <= 215) {
        option = catalogue.findDestination(entry.value, preset.values.data());
        if (option == -2)
            fail(entry.line,
                 "destination '" + entry.value + "' is ambiguous: write 'Block N " + entry.value + "'");
    } else {
        const auto it = std::find(info.options.begin(), info.options.end(), entry.value);
        if (it != info.options.end()) option = static_cast<int>(it - info.options.begin());
    }
    if (option < 0) {
        std::string list;
        for (size_t i = 0; i < info.options.size() && i < 12; ++i) list += (i ? ", " : "") + info.options[i];
        if (info.options.size() > 12) list += ", ...";
        fail(entry.line, "unknown option '" + entry.value + "' for '" + entry.key + "' (" + list + ")");
    }
    setOnce(index, Catalogue::encode(option, info), entry);
    preset.choices.push_back({index, option, entry.value});
}

void PresetParser::applyValue(int index, const Entry& entry) {
    const std::string& v = entry.value;
    switch (catalogue.kind(index)) {
        case ParamKind::Switch:
        case ParamKind::GaterStep:
            if (v == "on" || v == "1") return setOnce(index, 1.0f, entry);
            if (v == "off" || v == "0") return setOnce(index, 0.0f, entry);
            if (catalogue.kind(index) == ParamKind::Switch)
                fail(entry.line, "'" + entry.key + "' is a switch: on or off");
            return setOnce(index, parseUnit(entry, v), entry);
        case ParamKind::Choice:
            return applyChoice(index, entry);
        case ParamKind::Continuous:
            if (!parseNumber(v)) {
                if (const ChoiceInfo* named = catalogue.namedPositions(index, preset.values.data())) {
                    const auto it = std::find(named->options.begin(), named->options.end(), v);
                    if (it != named->options.end()) {
                        return setOnce(
                            index, Catalogue::encode(static_cast<int>(it - named->options.begin()), *named),
                            entry);
                    }
                }
            }
            return setOnce(index, parseUnit(entry, v), entry);
        case ParamKind::Unnamed:
            break;
    }
    fail(entry.line, "'" + entry.key + "' cannot be set");
}

void PresetParser::applyShape(int block, const Entry& entry) {
    std::istringstream words(entry.value);
    std::string shape;
    words >> shape;
    std::string argText;
    words >> argText;
    float arg = 0.0f;
    if (!argText.empty()) {
        const auto a = parseNumber(argText);
        if (!a) fail(entry.line, "expected a number after '" + shape + "', got '" + argText + "'");
        arg = static_cast<float>(*a);
    }
    std::string rest;
    if (words >> rest) fail(entry.line, "unexpected '" + rest + "' after the shape");

    const float phase = arg / 360.0f;
    for (int i = 0; i < 32; ++i) {
        const float fi = static_cast<float>(i);
        float x = 0.0f;
        float y = 0.0f;
        if (shape == "circle") {
            const float t = 2.0f * PI * fi / 32.0f;
            x = 0.5f + 0.5f * std::sin(t);
            y = 0.5f + 0.5f * std::cos(t);
        } else if (shape == "square") {
            const int side = i / 8;
            const float u = static_cast<float>(i % 8) / 8.0f;
            const float xs[4] = {0.0f, u, 1.0f, 1.0f - u};
            const float ys[4] = {u, 1.0f, 1.0f - u, 0.0f};
            x = xs[side];
            y = ys[side];
        } else if (shape == "line") {
            x = fi / 31.0f;
            y = 0.5f;
        } else if (shape == "sine") {
            x = fi / 31.0f;
            y = 0.5f + 0.5f * std::sin(2.0f * PI * (phase + fi / 31.0f));
        } else if (shape == "triangle") {
            const float f = phase + fi / 31.0f;
            x = fi / 31.0f;
            y = 1.0f - std::fabs(2.0f * (f - std::trunc(f)) - 1.0f);
        } else if (shape == "saw-up" || shape == "saw-down") {
            const float f = phase + fi / 32.0f;
            x = fi / 32.0f;
            y = f - std::trunc(f);
            if (shape == "saw-down") y = 1.0f - y;
        } else if (shape == "spiral-in" || shape == "spiral-out") {
            const float t = 2.0f * PI * arg * fi / 32.0f;
            const float r = shape == "spiral-in" ? (1.0f - fi / 32.0f) / 2.0f : (fi / 32.0f) / 2.0f;
            x = 0.5f + r * std::sin(t);
            y = 0.5f + r * std::cos(t);
        } else {
            fail(entry.line,
                 "unknown XY shape '" + shape +
                     "' (circle, square, line, sine, triangle, saw-up, saw-down, spiral-in, spiral-out)");
        }
        preset.values[XY_X_FIRST + 32 * block + i] = clamp01(x);
        preset.values[XY_Y_FIRST + 32 * block + i] = clamp01(y);
    }
}

void PresetParser::applyPoints(int block, int first, int last, const Entry& entry) {
    if (first > last || last > 31) fail(entry.line, "XY points run from 0 to 31");
    const auto comma = entry.value.find(',');
    if (comma == std::string::npos) fail(entry.line, "an XY point is 'x, y'");
    const float x = parseUnit(entry, collapseBlanks(entry.value.substr(0, comma)));
    const float y = parseUnit(entry, collapseBlanks(entry.value.substr(comma + 1)));
    for (int i = first; i <= last; ++i) {
        setOnce(XY_X_FIRST + 32 * block + i, x, entry);
        preset.values[XY_Y_FIRST + 32 * block + i] = y;
    }
}

void PresetParser::applyPattern(int block, int side, const Entry& entry) {
    std::string steps;
    for (char c : entry.value) {
        if (c != ' ') steps += c;
    }
    if (steps.size() != 16)
        fail(entry.line, "a gater pattern has 16 steps, got " + std::to_string(steps.size()));
    for (int k = 0; k < 16; ++k) {
        const char c = steps[k];
        float level = 0.0f;
        if (c == 'x' || c == 'X') {
            level = 1.0f;
        } else if (c >= '5' && c <= '9') {
            level = static_cast<float>(c - '0') / 10.0f;
        } else if (c != '.') {
            fail(entry.line, std::string("gater steps are 'x', '.' or 5..9, got '") + c + "'");
        }
        setOnce(GATER_FIRST + 32 * block + 16 * side + k, level, entry);
    }
}

PresetSource PresetParser::parse(std::istream& in) {
    readEntries(in);

    // Types, modes and sync switches first: other names and values depend on them.
    std::vector<std::pair<int, Entry>> fixed;
    std::vector<Entry> typed;
    std::vector<Entry> points;
    for (const Entry& entry : entries) {
        std::string rest;
        const int block = splitBlock(entry.key, rest);
        int first = 0;
        int last = 0;
        if (entry.key == "Name") {
            setName(entry);
        } else if (block >= 0 && rest == "XY Shape") {
            applyShape(block, entry);
        } else if (block >= 0 && pointRange(rest, first, last)) {
            points.push_back(entry);
        } else if (block >= 0 && (rest == "Gater Left" || rest == "Gater Right")) {
            applyPattern(block, rest == "Gater Right" ? 1 : 0, entry);
        } else if (const int index = catalogue.findFixedName(entry.key); index >= 0) {
            fixed.emplace_back(index, entry);
        } else {
            typed.push_back(entry);
        }
    }
    const auto isContext = [](int index) {
        return index == 108 || (index >= 126 && index < 150 && (index - 126) % 8 <= 3) ||
               (index >= 600 && index < 627 && (index - 600) % 9 == 7) || (index >= 627 && index <= 629);
    };
    for (const auto& [index, entry] : fixed) {
        if (isContext(index)) applyValue(index, entry);
    }
    for (const Entry& entry : points) {
        std::string rest;
        const int block = splitBlock(entry.key, rest);
        int first = 0;
        int last = 0;
        pointRange(rest, first, last);
        applyPoints(block, first, last, entry);
    }
    for (const auto& [index, entry] : fixed) {
        if (!isContext(index)) applyValue(index, entry);
    }
    for (const Entry& entry : typed) {
        const int index = catalogue.findTypedName(entry.key, preset.values.data());
        if (index < 0) fail(entry.line, "unknown parameter '" + entry.key + "'");
        applyValue(index, entry);
    }
    if (preset.name.empty()) fail(0, "no 'Name = ...' line");
    return preset;
}

}  // namespace

BankError::BankError(std::string file_, int line_, const std::string& message)
    : std::runtime_error(file_ + (line_ > 0 ? ":" + std::to_string(line_) : std::string()) + ": " + message),
      file(std::move(file_)),
      line(line_) {}

PresetSource parsePreset(const Catalogue& catalogue, const std::string& file, std::istream& in) {
    return PresetParser(catalogue, file).parse(in);
}

std::vector<PresetSource> loadBank(const Catalogue& catalogue, const std::filesystem::path& folder) {
    std::map<int, std::filesystem::path> files;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(folder, ec)) {
        const std::string leaf = item.path().filename().string();
        if (item.path().extension() != ".txt") continue;
        const std::string digits = leaf.substr(0, 2);
        if (leaf.size() < 8 || !allDigits(digits, 2, 2) || leaf[2] != '-') {
            throw BankError(item.path().string(), 0, "preset files are named NN-name.txt");
        }
        const int number = std::stoi(digits);
        if (const auto [it, fresh] = files.emplace(number, item.path()); !fresh) {
            throw BankError(item.path().string(), 0,
                            "preset number " + digits + " is also used by " + it->second.filename().string());
        }
    }
    if (ec) throw BankError(folder.string(), 0, "cannot read the folder: " + ec.message());

    std::vector<PresetSource> presets;
    std::map<std::string, std::string> names;
    for (const auto& [number, path] : files) {
        std::ifstream in(path);
        if (!in) throw BankError(path.string(), 0, "cannot be read");
        presets.push_back(parsePreset(catalogue, path.string(), in));
        const PresetSource& p = presets.back();
        if (const auto [it, fresh] = names.emplace(p.name, p.file); !fresh) {
            throw BankError(p.file, p.nameLine,
                            "preset name '" + p.name + "' is already used by " + it->second);
        }
    }
    if (files.size() != static_cast<size_t>(BANK_SIZE)) {
        throw BankError(
            folder.string(), 0,
            std::to_string(BANK_SIZE) + " presets expected, found " + std::to_string(files.size()));
    }
    int expected = 0;
    for (const auto& [number, path] : files) {
        if (number != expected) {
            throw BankError(path.string(), 0,
                            "preset numbers must run from 00 to 62 without gaps: " +
                                std::to_string(expected) + " is missing");
        }
        ++expected;
    }
    return presets;
}
