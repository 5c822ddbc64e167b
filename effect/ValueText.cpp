// The value text of every parameter: the short text a host or the editor shows beside it, the
// unit included.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "effect/APlugin.h"
#include "effect/IndexFamilies.h"
#include "effect/OptionStrings.h"

static_assert(DELAY_LEN_STR_COUNT == TDelay::kSyncedLengths, "a name for every synced Delay length");

namespace {

enum class TextKind : uint8_t {
    Empty,
    Choice,  // a row of the slot's option table
    Switch,
    Percent,
    Bipolar,
    Frequency,
    Vowel,
    Decibel20,
    Wave,
    LowFiRate,
    LowFiBits,
    SerialPan,  // Blocks 1 and 2: centred while the path is serial
    Pan,
    Volume,
    Mix,
    DelayLength,
    CrossFeed,
    Threshold,
    Hold,
    GrainWrite,
    GrainRate,  // Update Rate and Read Size
    Semitones,
    Cents,
    Dash,
};

const FamilyTable<TextKind>& textKinds() {
    static const FamilyTable<TextKind> table = [] {
        FamilyTable<TextKind> t{};
        for (int i = 1; i < NAMED_PARAMETER_END; ++i) {
            if (readsAsOption(slotInfo(i))) t[static_cast<std::size_t>(i)] = TextKind::Choice;
        }
        // The lists read as the index lists they come from.
        // clang-format off
        markFamily(t, TextKind::Switch, {{1}, {2}, {4}, {38}, {72}, {106, 109}, {153, 155}, {204, 207}, {220, 315},
                                         {608}, {617}, {626, 629}});
        markFamily(t, TextKind::Percent,
                   {{5},        {7},        {11, 12},  {15, 17},  {19},  {22, 23},  {25, 28},  {39},      {41},
                    {45, 46},   {49, 51},   {53},      {56, 57},  {59, 62}, {73},   {75},      {79, 80},  {83, 85},
                    {87},       {90, 91},   {93, 96},  {119},     {165, 167}, {186, 197}, {216, 218}, {606}, {615},
                    {624}});
        markFamily(t, TextKind::Bipolar,
                   {{32, 37}, {66, 71}, {100, 105}, {112}, {122, 125}, {159, 161}, {602}, {611}, {620}});
        markFamily(t, TextKind::Frequency, {{6}, {10}, {14}, {18}, {24}, {40}, {44}, {48}, {52}, {58}, {74}, {78},
                                            {82}, {86}, {92}, {114}, {115}});
        markFamily(t, TextKind::Vowel, {{8}, {42}, {76}});
        markFamily(t, TextKind::Decibel20, {{9}, {43}, {77}, {118}});
        markFamily(t, TextKind::Wave, {{13}, {47}, {81}});
        markFamily(t, TextKind::LowFiRate, {{20}, {54}, {88}});
        markFamily(t, TextKind::LowFiBits, {{21}, {55}, {89}});
        markFamily(t, TextKind::SerialPan, {{29}, {63}});
        markFamily(t, TextKind::Pan, {{97}});
        markFamily(t, TextKind::Volume, {{30}, {64}, {98}});
        markFamily(t, TextKind::Mix, {{31}, {65}, {99}, {116}});
        markFamily(t, TextKind::DelayLength, {{110, 111}});
        markFamily(t, TextKind::CrossFeed, {{113}});
        markFamily(t, TextKind::Threshold, {{120}});
        markFamily(t, TextKind::Hold, {{121}});
        markFamily(t, TextKind::GrainWrite, {{600}, {609}, {618}});
        markFamily(t, TextKind::GrainRate, {{601}, {610}, {619}, {603}, {612}, {621}});
        markFamily(t, TextKind::Semitones, {{604}, {613}, {622}});
        markFamily(t, TextKind::Cents, {{605}, {614}, {623}});
        markFamily(t, TextKind::Dash, {{780, 791}});
        // clang-format on
        return t;
    }();
    return table;
}

// x rounded toward zero, as the texts count.
int trunc(float x) {
    return static_cast<int>(x);
}

std::string number(int n, const char* unit) {
    return std::to_string(n) + unit;
}

std::string fixed(float x, int decimals, const char* unit) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f%s", decimals, static_cast<double>(x), unit);
    return text;
}

// Pan and mix read from the centre out: "Center" (or "Equal"), else how far toward one side.
std::string sideText(float v, const char* centre, const char* low, const char* high) {
    if (std::fabs(v - 0.5f) < 0.00001f) return centre;
    if (v <= 0.5f) return number(100 - trunc(200.0f * v), low);
    return number(trunc(200.0f * v) - 100, high);
}

int blockOf(const int32_t (&tags)[BLOCK_COUNT], int index) {
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        if (tags[b] == index) return b;
    }
    return 0;
}

int grainBlockOf(int index) {
    return (index - GRAIN_SECTION_START) / GRAIN_SECTION_SIZE;
}

}  // namespace

std::string APlugin::getFilterFrequencyText(float value, float lowest, float octaves, bool whole,
                                            float factor) const {
    const float f = std::min(std::exp2(value * octaves) * lowest * factor, 20480.0f);
    if (whole) return fixed(f, 0, "hz");
    if (f < 10.0f) return fixed(f, 2, "hz");
    if (f < 1000.0f) return fixed(f, 0, "hz");
    return fixed(f / 1000.0f, 1, "Khz");
}

std::string APlugin::getGrainLen(int block, float value) const {
    const int mode = getGrainMode(block);
    if (mode == 0 || mode == 2 || mode == 4) return number(trunc(std::exp2(8.0f * value)), "ms");
    return GRAIN_SYNCED_LENGTH_STRING[grainSyncedRow(value)];
}

std::string APlugin::ToFreqStr(int index, float divisor, float octaves, bool offAtZero) const {
    const float v = index >= 0 && index < PARAMETER_COUNT ? currentValues[index].load() : 0.0f;
    if (offAtZero && v < 0.000001f) return "Off";
    const float f = std::exp2(octaves * v) * 55.0f / divisor;
    if (f < 1000.0f) return fixed(f, 2, "hz");
    return fixed(f / 1000.0f, 1, "Khz");
}

std::string APlugin::valueText(int index) const {
    if (index <= 0 || index >= NAMED_PARAMETER_END) return "";
    const float v = currentValues[index].load();
    switch (textKinds()[static_cast<std::size_t>(index)]) {
        case TextKind::Empty:
            return "";
        case TextKind::Choice: {
            const SlotInfo slot = slotInfo(index);
            return slot.options[getPlayedChoice(index, v)];
        }
        case TextKind::Switch:
            return v < 0.5f ? "Off" : "On";
        case TextKind::Percent:
            return number(trunc(100.0f * v), "%");
        case TextKind::Bipolar:
            return number(trunc(200.0f * v - 100.0f), "%");
        case TextKind::Frequency:
            return getFilterFrequencyText(v, 20.0f, 10.0f, false, 1.0f);
        case TextKind::Vowel:
            if (getFilterMode(blockOf(FILTER_VOWEL_TAG, index)) < FILTER_MODE_FIRST_VOWEL) return "-";
            return VOWEL_STR[std::clamp(trunc(VOWEL_TEXT_SCALE * v), 0, VOWEL_STR_COUNT - 1)];
        case TextKind::Decibel20:
            return number(trunc(40.0f * v - 20.0f), "dB");
        case TextKind::Wave:
            return WAVE_STR[std::clamp(trunc(WAVE_TEXT_SCALE * v), 0, WAVE_STR_COUNT - 1)];
        case TextKind::LowFiRate:
            return fixed(44100.0f / std::exp2(5.0f * v) / 1000.0f, 1, "Khz");
        case TextKind::LowFiBits:
            return number(trunc(16.0f - 14.0f * v), "Bits");
        case TextKind::SerialPan:
            if (getPath() <= 3) return "Center";
            return sideText(v, "Center", "L", "R");
        case TextKind::Pan:
            return sideText(v, "Center", "L", "R");
        case TextKind::Volume:
            return v < 0.0001f ? "Off" : number(trunc(50.0f * v - 40.0f), "dB");
        case TextKind::Mix:
            return sideText(v, "Equal", "D", "W");
        case TextKind::DelayLength:
            if (getOnOff(DELAY_TEMPO_SYNC_PARAM)) return DELAY_LEN_STR[TDelay::syncedRow(v)];
            return number(trunc(std::exp2(12.0f * v)), "ms");
        case TextKind::CrossFeed:
            if (getOnOff(DELAY_EQUAL_FEED_PARAM)) return "Off";
            return number(trunc(200.0f * v - 100.0f), "%");
        case TextKind::Threshold:
            return number(trunc(40.0f * v - 40.0f), "dB");
        case TextKind::Hold:
            return number(trunc(std::exp2(14.0f * v)), "ms");
        case TextKind::GrainWrite:
            return getGrainLen(grainBlockOf(index), v);
        case TextKind::GrainRate:
            if (getOnOff(GRAIN_UNLINK_TAG[grainBlockOf(index)])) return getGrainLen(grainBlockOf(index), v);
            return number(trunc(std::exp2(8.0f * v - 4.0f) * 100.0f), "%");
        case TextKind::Semitones:
            return number(trunc(24.99f * v) - 12, "sm");
        case TextKind::Cents:
            return number(trunc(200.0f * v - 100.0f), "c");
        case TextKind::Dash:
            return "-";
    }
    return "";
}

void APlugin::getParameterDisplay(int index, char* text) {
    if (text == nullptr || index < 0 || index >= PARAMETER_COUNT) return;
    const std::string shown = valueText(index);
    const std::size_t n = std::min<std::size_t>(shown.size(), VALUE_TEXT_MAX_LENGTH);
    std::memcpy(text, shown.data(), n);
    text[n] = '\0';
}

void APlugin::getParameterLabel(int, char* text) {
    if (text != nullptr) std::strcpy(text, " ");
}
