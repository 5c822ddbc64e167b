#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "effect/FactoryBank.h"
#include "effect/OptionStrings.h"
#include "effect/ParameterDefaults.h"
#include "effect/ParameterLayout.h"
#include "tools/bankgen/BankSource.h"
#include "tools/bankgen/Catalogue.h"

namespace {

namespace fs = std::filesystem;

// The program name as setProgram reads it back from parameters 800-827.
std::string decodedName(const float* values) {
    std::string name;
    for (int k = 0; k < PROGRAM_NAME_LENGTH; ++k) {
        const int c = static_cast<int>(values[PROGRAM_NAME_START + k] * 255.99f + 0.1f);
        if (c == 0) break;
        name += static_cast<char>(c);
    }
    return name;
}

int stepped(float value, const SlotInfo& info) {
    return std::clamp(static_cast<int>(value * info.scale + 0.1f), 0, info.count - 1);
}

bool isNameOrPoint(int index) {
    const bool point = (index >= XY_X_START[0] && index < XY_X_START[0] + 96) ||
                       (index >= XY_Y_START[0] && index < XY_Y_START[0] + 96);
    return point || (index >= PROGRAM_NAME_START && index < PROGRAM_NAME_START + PROGRAM_NAME_LENGTH);
}

const Catalogue& catalogue() {
    static const Catalogue instance;
    return instance;
}

fs::path scratchFolder(const std::string& leaf) {
    const char* root = std::getenv("TARNWELL_TEST_TMP");
    const fs::path folder = fs::path(root ? root : fs::temp_directory_path().string()) / ("bank-" + leaf);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// A copy of the real preset sources that a test may spoil.
fs::path copyOfPresets(const std::string& leaf) {
    const fs::path folder = scratchFolder(leaf);
    for (const auto& item : fs::directory_iterator(TARNWELL_PRESETS_DIR)) {
        if (item.path().extension() == ".txt") fs::copy_file(item.path(), folder / item.path().filename());
    }
    return folder;
}

PresetSource parse(const std::string& text) {
    std::istringstream in(text);
    return parsePreset(catalogue(), "test.txt", in);
}

// The message a malformed preset is rejected with.
std::string rejection(const std::string& text) {
    try {
        parse(text);
    } catch (const BankError& e) {
        return e.what();
    }
    return "accepted";
}

}  // namespace

TEST(FactoryBank, NamesAreUniqueShortAndSpelledInTheNameParameters) {
    std::set<std::string> names;
    for (int p = 0; p < FACTORY_PRESET_COUNT; ++p) {
        const std::string name = FACTORY_PRESET_NAMES[p];
        EXPECT_FALSE(name.empty()) << p;
        EXPECT_LE(name.size(), static_cast<size_t>(FACTORY_PRESET_NAME_LENGTH)) << name;
        EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
        EXPECT_EQ(decodedName(DEMOVAR[p]), name) << "preset " << p;
        for (size_t k = name.size(); k < static_cast<size_t>(PROGRAM_NAME_LENGTH); ++k) {
            EXPECT_EQ(DEMOVAR[p][PROGRAM_NAME_START + k], 0.0f) << name << " character " << k;
        }
    }
}

TEST(FactoryBank, EveryValueIsAValidEncodingOfItsSlot) {
    float defaults[PARAMETER_COUNT];
    fillDefaultParameterValues(defaults);
    for (int p = 0; p < FACTORY_PRESET_COUNT; ++p) {
        for (int i = 0; i < PARAMETER_COUNT; ++i) {
            const float v = DEMOVAR[p][i];
            ASSERT_TRUE(std::isfinite(v) && v >= 0.0f && v <= 1.0f) << "preset " << p << " parameter " << i;
            const SlotInfo info = slotInfo(i);
            if (isOnOffSlot(i)) {
                EXPECT_TRUE(v == 0.0f || v == 1.0f) << "preset " << p << " switch " << i;
            }
            if (info.kind == SlotKind::Choice) {
                const int raw = static_cast<int>(v * info.scale + 0.1f);
                EXPECT_TRUE(raw >= 0 && raw < info.count) << "preset " << p << " choice " << i;
            }
            if (info.kind == SlotKind::None) {
                EXPECT_EQ(v, defaults[i]) << "preset " << p << " slot " << i;
            }
        }
    }
}

TEST(FactoryBank, DefaultsHaveTheNonZeroCountAndSnappedSwitches) {
    float defaults[PARAMETER_COUNT];
    fillDefaultParameterValues(defaults);
    EXPECT_EQ(std::count_if(defaults, defaults + PARAMETER_COUNT, [](float v) { return v != 0.0f; }), 196);
    EXPECT_EQ(stepped(defaults[PATH_PARAM], slotInfo(PATH_PARAM)), 3);  // "B1 > B2 > B3 > Delay"
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        if (isOnOffSlot(i) || i >= GATER_STEP_START) continue;
        const SlotInfo info = slotInfo(i);
        if (info.kind == SlotKind::None || isNameOrPoint(i)) {
            EXPECT_EQ(defaults[i], 0.0f) << i;
        }
    }
}

TEST(FactoryBank, TableMatchesItsSourcesAndEveryChoiceReadsBackAsWritten) {
    const std::vector<PresetSource> sources = loadBank(catalogue(), TARNWELL_PRESETS_DIR);
    ASSERT_EQ(sources.size(), static_cast<size_t>(FACTORY_PRESET_COUNT));
    for (int p = 0; p < FACTORY_PRESET_COUNT; ++p) {
        const PresetSource& source = sources[p];
        EXPECT_EQ(source.name, FACTORY_PRESET_NAMES[p]);
        EXPECT_EQ(std::memcmp(source.values.data(), DEMOVAR[p], sizeof DEMOVAR[p]), 0) << source.file;
        std::set<int> written;
        for (const ChoiceUse& use : source.choices) {
            written.insert(use.index);
            const SlotInfo info = slotInfo(use.index);
            ASSERT_EQ(info.kind, SlotKind::Choice) << source.file;
            EXPECT_EQ(stepped(DEMOVAR[p][use.index], info), use.option) << source.file << " " << use.text;
            if (info.options && use.index != MOD_DESTINATION_TAG[0] && use.index != MOD_DESTINATION_TAG[1] &&
                use.index != MOD_DESTINATION_TAG[2] && use.index != MOD_DESTINATION_TAG[3]) {
                EXPECT_EQ(info.options[use.option], use.text) << source.file;
            }
        }
        // A choice away from its default got there only by an option text that was checked above.
        for (int i = 0; i < PARAMETER_COUNT; ++i) {
            if (slotInfo(i).kind == SlotKind::Choice && DEMOVAR[p][i] != catalogue().defaultValue(i)) {
                EXPECT_TRUE(written.count(i)) << source.file << " choice " << i;
            }
        }
    }
    // Preset 0, the sound of a new instance: nothing bypassed, no echo running away.
    EXPECT_EQ(DEMOVAR[0][BYPASS_PARAM], 0.0f);
    EXPECT_EQ(DEMOVAR[0][DELAY_ON_PARAM], 0.0f);
}

TEST(PresetSource, ListedValuesChangeAndEverythingElseKeepsItsDefault) {
    const PresetSource p = parse(
        "# comment\nName = Test Sound\nBlock 2 Type = Comb   # trailing comment\n"
        "Block 2 Comb Feed = 0.75\nDelay On = on\nBlock 1 Gater Left Step 03 = off\n");
    EXPECT_EQ(p.name, "Test Sound");
    EXPECT_EQ(decodedName(p.values.data()), "Test Sound");
    EXPECT_EQ(stepped(p.values[BLOCK_TYPE_TAG[1]], slotInfo(BLOCK_TYPE_TAG[1])), 2);
    EXPECT_FLOAT_EQ(p.values[COMB_FEED_TAG[1]], 0.75f);
    EXPECT_EQ(p.values[DELAY_ON_PARAM], 1.0f);
    EXPECT_EQ(p.values[GATER_TAG[0][0] + 2], 0.0f);
    int changed = 0;
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        if (p.values[i] != catalogue().defaultValue(i) && i < PROGRAM_NAME_START) ++changed;
    }
    EXPECT_EQ(changed, 4);
}

TEST(PresetSource, NameCharactersDecodeExactly) {
    for (int c = 0; c < 128; ++c) {
        EXPECT_EQ(static_cast<int>(nameCharacterValue(static_cast<unsigned char>(c)) * 255.99f + 0.1f), c);
    }
}

TEST(PresetSource, NamedPositionsDecodeTheWayTheirReadersStepThem) {
    const PresetSource p = parse(
        "Name = N\nDelay Tempo Sync = on\nDelay Left = 1/8*\nBlock 1 Shaper Wave = Saw\n"
        "Block 1 Filter Vowel = O\nBlock 1 XY Speed = x2\nBlock 2 XY Speed = x1/4\n"
        "Block 1 Grain Loop Mode = Loop Sync\nBlock 1 Grain Write Size = 1/16\n");
    EXPECT_EQ(static_cast<int>(p.values[DELAY_LEFT_PARAM] * 14.99f), 8);  // the delay's own reading
    EXPECT_EQ(stepped(p.values[DELAY_LEFT_PARAM], {SlotKind::Choice, 14.99f, 15}), 8);
    EXPECT_EQ(static_cast<int>(p.values[SHAPER_WAVE_TAG[0]] * 3.99f), 3);
    EXPECT_EQ(static_cast<int>(p.values[FILTER_VOWEL_TAG[0]] * 4.99f), 3);
    // XY Speed is used raw, as 2^(8v - 4): the options land on exact factors.
    EXPECT_FLOAT_EQ(std::exp2(8.0f * p.values[XY_SPEED_TAG[0]] - 4.0f), 2.0f);
    EXPECT_FLOAT_EQ(std::exp2(8.0f * p.values[XY_SPEED_TAG[1]] - 4.0f), 0.25f);
    EXPECT_EQ(stepped(p.values[XY_SPEED_TAG[0]], slotInfo(XY_SPEED_TAG[0])), 10);
    const float grain = p.values[GRAIN_WRITE_SIZE_TAG[0]];
    EXPECT_EQ(static_cast<int>(21.0f * grain + 0.1f), 7);   // the engine's length
    EXPECT_EQ(static_cast<int>(21.0f * grain + 0.01f), 7);  // the value text
    EXPECT_STREQ(GRAIN_SYNCED_LENGTH_STRING[7], "1/16");
}

TEST(PresetSource, TypeDependentNamesAndDestinationsFollowTheBlockType) {
    const PresetSource filter = parse(
        "Name = N\nBlock 1 Type = Filter\nBlock 1 X > Filter Freq = 0.9\nBlock 2 Type = Comb\n"
        "Mod 1 Destination = Block 2 Comb Feed\nMod 2 Destination = Block 3 Filter Q\n"
        "Mod 3 Destination = Delay Feed\n");
    EXPECT_FLOAT_EQ(filter.values[blockParam(0, XY_ASSIGN_OFFSET + 1)], 0.9f);
    const SlotInfo dest = slotInfo(MOD_DESTINATION_TAG[0]);
    EXPECT_EQ(stepped(filter.values[MOD_DESTINATION_TAG[0]], dest), 27 + 3);  // Block 2 slot 3
    EXPECT_EQ(stepped(filter.values[MOD_DESTINATION_TAG[1]], dest), 50 + 2);  // the generic row, Block 3
    EXPECT_EQ(stepped(filter.values[MOD_DESTINATION_TAG[2]], dest), 77);
    // The same names mean nothing once the type changes.
    EXPECT_NE(rejection("Name = N\nBlock 1 Type = Comb\nBlock 1 X > Filter Freq = 0.9\n")
                  .find("test.txt:3: unknown parameter 'Block 1 X > Filter Freq'"),
              std::string::npos);
    EXPECT_NE(rejection("Name = N\nMod 1 Destination = Filter Q\n").find("test.txt:2:"), std::string::npos);
}

TEST(PresetSource, ShapesPointsAndPatterns) {
    const PresetSource p = parse(
        "Name = N\nBlock 2 XY Shape = circle\nBlock 2 XY Point 4-5 = 0.25, 0.75\n"
        "Block 3 Gater Right = x.5. 9x.. .... ...x\n");
    EXPECT_NEAR(p.values[XY_X_START[1] + 8], 1.0f, 1e-4f);  // a quarter turn: right edge, centre height
    EXPECT_NEAR(p.values[XY_Y_START[1] + 8], 0.5f, 1e-4f);
    EXPECT_EQ(p.values[XY_X_START[1] + 5], 0.25f);
    EXPECT_EQ(p.values[XY_Y_START[1] + 4], 0.75f);
    const float* right = p.values.data() + GATER_TAG[2][1];
    EXPECT_EQ(right[0], 1.0f);
    EXPECT_EQ(right[1], 0.0f);
    EXPECT_FLOAT_EQ(right[2], 0.5f);
    EXPECT_FLOAT_EQ(right[4], 0.9f);
    EXPECT_EQ(right[15], 1.0f);
}

TEST(PresetSource, MalformedLinesAreRejectedWithFileAndLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"Name = N\nBlock 4 Type = Filter\n", "test.txt:2: unknown parameter 'Block 4 Type'"},
        {"Name = N\nBlock 1 Mix = 1.2\n", "test.txt:2: value 1.2 for 'Block 1 Mix' is outside [0, 1]"},
        {"Name = N\nBlock 1 Mix = -0.1\n", "outside [0, 1]"},
        {"Name = N\nBlock 1 Mix = nan\n", "test.txt:2: expected a number"},
        {"Name = N\nBlock 1 Mix = half\n", "test.txt:2: expected a number"},
        {"Name = N\nBlock 1 Mix = 0.5\nBlock 1 Mix = 0.6\n",
         "test.txt:3: 'Block 1 Mix' is set twice (first on line 2)"},
        {"Name = N\nBlock 1 Type = Flanger\n", "test.txt:2: unknown option 'Flanger'"},
        {"Name = N\nDelay On = 0.5\n", "test.txt:2: 'Delay On' is a switch"},
        {"Name = N\nDelay Left = 1/8\n", "test.txt:2: expected a number"},
        {"Name = N\nBlock 1 Gater Left = x.x.\n", "test.txt:2: a gater pattern has 16 steps"},
        {"Name = N\nBlock 1 XY Shape = star\n", "test.txt:2: unknown XY shape 'star'"},
        {"Name = N\nBlock 1 XY Point 32 = 0, 0\n", "test.txt:2: XY points run from 0 to 31"},
        {"Name = N\nBlock 1 Gater Left = x... .... .... ....\nBlock 1 Gater Left Step 01 = on\n",
         "test.txt:3: 'Block 1 Gater Left Step 01' sets a value already set on line 2"},
        {"Name = A Name That Is Far Too Long To Fit\n",
         "test.txt:1: preset name 'A Name That Is Far Too Long To Fit' is longer than 28"},
        {"Block 1 Mix = 0.5\n", "test.txt: no 'Name = ...' line"},
        {"Name = N\nBlock 1 Mix 0.5\n", "test.txt:2: expected 'name = value'"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(rejection(c.text).find(c.message), std::string::npos)
            << c.text << "\n-> " << rejection(c.text);
    }
}

TEST(PresetBank, RejectsDuplicateNamesGapsAndAWrongCount) {
    const fs::path duplicate = copyOfPresets("duplicate");
    {
        std::ofstream out(duplicate / "05-Telephone-Line.txt");
        out << "# copy of another preset's name\nName = Soft Air Room\n";
    }
    try {
        loadBank(catalogue(), duplicate);
        ADD_FAILURE() << "duplicate name accepted";
    } catch (const BankError& e) {
        EXPECT_NE(std::string(e.what()).find(
                      "05-Telephone-Line.txt:2: preset name 'Soft Air Room' is already used by"),
                  std::string::npos)
            << e.what();
    }

    const fs::path missing = copyOfPresets("missing");
    fs::remove(missing / "62-Polyrhythm-Parallel-Trio.txt");
    EXPECT_THROW(
        {
            try {
                loadBank(catalogue(), missing);
            } catch (const BankError& e) {
                EXPECT_NE(std::string(e.what()).find("63 presets expected, found 62"), std::string::npos);
                throw;
            }
        },
        BankError);

    const fs::path gap = copyOfPresets("gap");
    fs::rename(gap / "10-Driven-Ladder.txt", gap / "63-Driven-Ladder.txt");
    EXPECT_THROW(loadBank(catalogue(), gap), BankError);
}

TEST(PresetBank, GeneratorFailsOnABadFileAndWritesNothing) {
    const fs::path folder = copyOfPresets("generator");
    {
        std::ofstream out(folder / "07-Warm-Tape-Tone.txt", std::ios::app);
        out << "Block 1 Filter Freq Typo = 0.5\n";
    }
    const fs::path output = folder / "bank.cpp";
    const std::string command = std::string("\"") + TARNWELL_BANKGEN + "\" \"" + folder.string() + "\" \"" +
                                output.string() + "\" 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string message;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) message += buffer;
    const int status = pclose(pipe);
    EXPECT_NE(status, 0);
    EXPECT_NE(message.find("07-Warm-Tape-Tone.txt:18: unknown parameter 'Block 1 Filter Freq Typo'"),
              std::string::npos)
        << message;
    EXPECT_FALSE(fs::exists(output));
}
