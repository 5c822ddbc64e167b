// Typed values and stepping: a number typed in the unit the user sees becomes the parameter's
// [0, 1] value; one step up or down is an option, a switch position or a hundredth.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "effect/APlugin.h"
#include "effect/IndexFamilies.h"
#include "framework/platform/Dialogs.h"
#include "framework/platform/StringHelpers.h"

namespace {

enum class TypeIn : uint8_t {
    None,
    Choice,
    Switch,
    Percent,
    Frequency,
    Decibel20,
    Bipolar,
    Volume,
    Threshold,
    Semitones
};

const FamilyTable<TypeIn>& typeIns() {
    static const FamilyTable<TypeIn> table = [] {
        FamilyTable<TypeIn> t{};
        // The lists read as the index lists they come from.
        // clang-format off
        markFamily(t, TypeIn::Switch,
                   {{1}, {2}, {4}, {38}, {72}, {106, 109}, {153, 155}, {204, 207}, {608}, {617}, {626, 629}});
        markFamily(t, TypeIn::Percent,
                   {{5},        {7},        {8},        {11, 13},   {15, 17},   {19, 23},   {25, 28},   {39},
                    {41},       {42},       {45, 47},   {49, 51},   {53, 57},   {59, 62},   {73},       {75},
                    {76},       {79, 81},   {83, 85},   {87, 91},   {93, 96},   {119},      {121},      {165, 167},
                    {186, 197}, {216, 218}, {600},      {601},      {603},      {606},      {609},      {610},
                    {612},      {615},      {618},      {619},      {621},      {624},      {780, 791}});
        markFamily(t, TypeIn::Frequency, {{6}, {10}, {14}, {18}, {24}, {40}, {44}, {48}, {52}, {58}, {74}, {78},
                                          {82}, {86}, {92}, {114}, {115}});
        markFamily(t, TypeIn::Decibel20, {{9}, {43}, {77}, {118}});
        markFamily(t, TypeIn::Bipolar, {{29}, {31, 37}, {63}, {65, 71}, {97}, {99, 105}, {112}, {113}, {116},
                                        {122, 125}, {159, 161}, {602}, {605}, {611}, {614}, {620}, {623}});
        markFamily(t, TypeIn::Volume, {{30}, {64}, {98}});
        markFamily(t, TypeIn::Threshold, {{120}});
        markFamily(t, TypeIn::Semitones, {{604}, {613}, {622}});
        // clang-format on
        // The choices: every slot that reads as one of its option texts.
        for (int i = 1; i < NAMED_PARAMETER_END; ++i) {
            if (readsAsOption(slotInfo(i))) t[static_cast<std::size_t>(i)] = TypeIn::Choice;
        }
        return t;
    }();
    return table;
}

TypeIn typeInOf(int index) {
    return index >= 0 && index < PARAMETER_COUNT ? typeIns()[static_cast<std::size_t>(index)] : TypeIn::None;
}

const char* skipBlanks(const char* text) {
    while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text))) ++text;
    return text;
}

// The number text begins with (blanks skipped), and where it ends; nothing when it begins with
// none. Like the standard reading, what follows the number is not looked at, and a number too
// large for a double reads as infinite (it clamps to an end); words such as "inf" are no number.
std::optional<double> leadingNumber(const char* text, const char** end = nullptr) {
    const char* start = skipBlanks(text);
    char* stop = nullptr;
    errno = 0;
    const double number = std::strtod(start, &stop);
    if (std::none_of(start, static_cast<const char*>(stop),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    if (end != nullptr) *end = stop;
    return number;
}

std::optional<double> leadingInteger(const char* text) {
    const char* start = skipBlanks(text);
    char* stop = nullptr;
    const long number = std::strtol(start, &stop, 10);
    if (stop == start) return std::nullopt;
    return static_cast<double>(std::clamp(number, -1000000L, 1000000L));
}

bool sameText(const char* typed, const char* name) {
    std::string a = skipBlanks(typed);
    while (!a.empty() && std::isspace(static_cast<unsigned char>(a.back()))) a.pop_back();
    if (a.size() != std::strlen(name)) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

// An option typed as its number (the number the dialog asks for), or by its text. Anything but
// a plain number is first looked up among the option texts; otherwise only its digits, signs
// and points count ("3x" is 3, "1e1" is 11). Text without a digit is refused.
std::optional<double> typedOption(const char* text, const SlotInfo& slot) {
    const char* end = nullptr;
    const bool plainNumber = leadingNumber(text, &end) && *skipBlanks(end) == '\0';
    for (int i = 0; !plainNumber && slot.options != nullptr && i < slot.count; ++i) {
        if (sameText(text, slot.options[i])) return i;
    }
    char digits[PATH_BUFFER_SIZE];
    std::snprintf(digits, sizeof digits, "%s", text);
    stripAllButNum(digits);
    return leadingNumber(digits);
}

// The value (before clamping) that a typed text gives parameter index.
std::optional<float> typedValue(int index, const char* text) {
    const TypeIn family = typeInOf(index);
    if (family == TypeIn::Choice) {
        const SlotInfo slot = slotInfo(index);
        const std::optional<double> option = typedOption(text, slot);
        if (!option) return std::nullopt;
        return static_cast<float>(*option) / slot.scale;
    }
    if (family == TypeIn::Switch) {
        if (sameText(text, "On")) return 1.0f;
        if (sameText(text, "Off")) return 0.0f;
    }
    const char* end = nullptr;
    const std::optional<double> read =
        family == TypeIn::Semitones ? leadingInteger(text) : leadingNumber(text, &end);
    if (!read) return std::nullopt;
    const float t = static_cast<float>(*read);
    switch (family) {
        case TypeIn::Switch:
            return t < 0.5f ? 0.0f : 1.0f;
        case TypeIn::Percent:
            return t / 100.0f;
        case TypeIn::Frequency: {
            // The value text shows kilohertz as "1.2Khz": a k after the number multiplies.
            const float hz =
                std::tolower(static_cast<unsigned char>(*skipBlanks(end))) == 'k' ? t * 1000.0f : t;
            return hz > 0.0f ? std::log(hz / 20.0f) / 6.931472f : 0.0f;
        }
        case TypeIn::Decibel20:
            return t / 40.0f + 0.5f;
        case TypeIn::Bipolar:
            return t / 200.0f + 0.5f;
        case TypeIn::Volume:
            return t / 50.0f + 0.8f;
        case TypeIn::Threshold:
            return t / 40.0f + 1.0f;
        case TypeIn::Semitones:
            return static_cast<float>(*read / 24.0 + 0.5);
        case TypeIn::None:
        case TypeIn::Choice:
            break;
    }
    return std::nullopt;
}

// The answer the dialog starts with, and its message (the range it takes).
struct Prompt {
    double start;
    int decimals;  // -1: the start truncated to an integer
    const char* message;
};

Prompt promptFor(TypeIn family, float v) {
    switch (family) {
        case TypeIn::Switch:
            return {v, 1, "0 for Off, 1 for On"};
        case TypeIn::Percent:
            return {100.0f * v, -1, "0 to 100%"};
        case TypeIn::Frequency:
            return {20.0f * std::exp2(10.0f * v), 0, "20hz to 20000 Hz"};
        case TypeIn::Decibel20:
            return {40.0f * v - 20.0f, 1, "-20 to 20 dB"};
        case TypeIn::Bipolar:
            return {200.0f * v - 100.0f, -1, "-100% to 100%"};
        case TypeIn::Volume:
            return {50.0f * v - 40.0f, 1, "-50 to 10 dB"};
        case TypeIn::Threshold:
            return {40.0f * v - 40.0f, 1, "-40 to 0 dB"};
        case TypeIn::Semitones:
            return {24.0f * v - 12.0f, -1, "-12 to 12 Semi"};
        case TypeIn::None:
        case TypeIn::Choice:
            break;
    }
    return {0.0, -1, ""};
}

void writeStart(const Prompt& p, char* answer, std::size_t size) {
    if (p.decimals < 0) {
        std::snprintf(answer, size, "%d", static_cast<int>(static_cast<float>(p.start)));
    } else {
        std::snprintf(answer, size, "%.*f", p.decimals, p.start);
    }
}

}  // namespace

bool APlugin::string2parameter(int index, char* text) {
    if (text == nullptr || typeInOf(index) == TypeIn::None) return false;
    const std::optional<float> value = typedValue(index, text);
    if (!value) return false;
    setParameter(index, std::clamp(*value, 0.0f, 1.0f));
    return true;
}

void APlugin::setNumValue(int index) {
    const TypeIn family = typeInOf(index);
    if (family == TypeIn::None) return;
    if (family == TypeIn::Choice) {
        const SlotInfo slot = slotInfo(index);
        getLimitedValue(index, slot.scale, slot.count);
        return;
    }
    char title[128] = {};
    getParameterName(index, title);
    char answer[PATH_BUFFER_SIZE];
    const Prompt p = promptFor(family, getParameter(index));
    writeStart(p, answer, sizeof answer);
    inputBox(p.message, title, answer);
    if (answer[0] == '\0') return;
    string2parameter(index, answer);
}

void APlugin::getLimitedValue(int index, float scale, int count) {
    if (index < 0 || index >= PARAMETER_COUNT || count < 1 || !(scale > 0.0f)) return;
    char title[PATH_BUFFER_SIZE] = {};
    getParameterName(index, title);
    char answer[PATH_BUFFER_SIZE];
    std::snprintf(answer, sizeof answer, "%d", getPlayedChoice(index, getParameter(index)));
    char message[32];
    std::snprintf(message, sizeof message, "0 to %d", count - 1);
    inputBox(message, title, answer);
    if (answer[0] == '\0') return;
    const std::optional<double> option = typedOption(answer, slotInfo(index));
    if (option) setParameter(index, std::clamp(static_cast<float>(*option) / scale, 0.0f, 1.0f));
}

void APlugin::setModValue(int slot) {
    if (slot < 0 || slot >= MOD_SLOT_COUNT) return;
    const int p = MOD_AMOUNT_TAG[slot];
    const float a = getModAmount(slot);
    char title[PATH_BUFFER_SIZE] = {};
    getParameterName(p, title);
    const bool exponential = getModDestinationType(slot) == COMBINE_EXPONENTIAL;
    char answer[PATH_BUFFER_SIZE];
    std::snprintf(answer, sizeof answer, "%d",
                  static_cast<int>(exponential ? std::exp2(3.0f * a) * 100.0f : 100.0f * a));
    inputBox(exponential ? "125% to 800%" : "-100 to 100%", title, answer);
    if (answer[0] == '\0') return;
    const std::optional<double> typed = leadingNumber(answer);
    if (!typed) return;
    const float t = static_cast<float>(*typed);
    float value = t / 200.0f + 0.5f;
    if (exponential) {
        // A factor between 1/8 and 8; answers beyond land on 1/4 and 4.
        float x = (t + 0.5f) / 100.0f;
        if (x < 0.125f) x = 0.25f;
        if (x > 8.0f) x = 4.0f;
        value = (std::log2(x) + 3.0f) / 6.0f;
    }
    setParameter(p, std::clamp(value, 0.0f, 1.0f));
}

void APlugin::changeDelta(int index, float delta) {
    // Slots without a name (the program name, the preset reload) are no editor controls.
    if (index <= 0 || index >= NAMED_PARAMETER_END) return;
    const SlotInfo slot = slotInfo(index);
    const bool lowFiFilter = std::find(std::begin(SHAPER_LOWFI_FILTER_TAG), std::end(SHAPER_LOWFI_FILTER_TAG),
                                       index) != std::end(SHAPER_LOWFI_FILTER_TAG);
    if (readsAsOption(slot) && !lowFiFilter) {
        const int option = getPlayedChoice(index, getParameter(index)) + (delta >= 0.0f ? 1 : -1);
        setParameter(index, (static_cast<float>(std::clamp(option, 0, slot.count - 1)) + 0.1f) / slot.scale);
    } else if (isOnOff[index]) {
        setParameter(index, delta >= 0.0f ? 1.0f : 0.0f);
    } else {
        setParameter(index, std::clamp(getParameter(index) + 0.01f * delta, 0.0f, 1.0f));
    }
}
