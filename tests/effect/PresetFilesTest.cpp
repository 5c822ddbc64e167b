// Block, XY path, modulation and controller-map files: what they hold, that every value comes
// back bit for bit (into any Block), and that a bad file or a failed save changes nothing.

#include "framework/platform/Preferences.h"
#include "tests/effect/CommandFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

using namespace tarnwell::test;

namespace {

class PresetFilesTest : public CommandFixture {
protected:
    PresetFilesTest() { std::filesystem::create_directories(folder); }

    std::string file(const std::string& name) const { return folder + "/" + name; }
    void write(const std::string& name, const std::string& text) const { PreferencesSandbox::write(file(name), text); }
    std::string read(const std::string& name) const { return PreferencesSandbox::read(file(name)); }

    static std::string lines(int count, const std::string& line) {
        std::string text;
        for (int i = 0; i < count; ++i) text += line + "\n";
        return text;
    }
    static std::vector<int> map(APlugin& fx) {
        std::vector<int> m;
        for (const auto& param : fx.midiMap.ccToParam) m.push_back(param);
        return m;
    }

    const std::string folder = prefs.userFolder() + "/files";
};

}  // namespace

TEST_F(PresetFilesTest, BlockPathAndModulationFilesRoundTripEveryValue) {
    auto fx = make();
    scramble(*fx, 5);
    const float awkward[] = {1e-7f, 0.1f, 1.0f / 3.0f, 1.0f, 0.0f, 0.99999994f};
    for (int k = 0; k < 6; ++k) fx->setParameter(BLOCK_TAGS[0][3 + k], awkward[k]);
    fx->setModVariables(1, true, 0.7f, 12, 33);
    const std::vector<float> saved = values(*fx);

    choose(file("a.blp"));
    fx->doBlockCommand(44, 0, -1, -1);
    const ChooserRequest& asked = script.asked.back().request;
    EXPECT_EQ(asked.title, "Block Preset Save");
    EXPECT_EQ(asked.defaultName, "Block.blp");
    EXPECT_EQ(asked.folder, fx->modPresetDir) << "Block presets start in the modulation folder";
    EXPECT_EQ(std::string(fx->blockPresetDir), folder + "/") << "the next chooser opens where this one ended";
    const std::string text = read("a.blp");
    EXPECT_TRUE(std::regex_match(text, std::regex("(\\d\\.\\d{6,}\\n){167}"))) << text;
    EXPECT_EQ(text.substr(0, 9), std::to_string(saved[4]).substr(0, 8) + "\n");  // Bypass first
    choose(file("b.xyp"));
    fx->doBlockCommand(27, 1, -1, -1);
    choose(file("c.mod"));
    fx->doModCommand(17, -1);
    EXPECT_EQ(read("c.mod").substr(0, 5), "V1.0\n");

    scramble(*fx, 6);
    fx->doModCommand(3, -1);
    const std::vector<float> changed = values(*fx);
    choose(file("a.blp"));
    fx->doBlockCommand(43, 2, -1, -1);  // Block 1's preset into Block 3
    choose(file("b.xyp"));
    fx->doBlockCommand(26, 0, -1, -1);  // Block 2's path into Block 1
    choose(file("c.mod"));
    fx->doModCommand(16, -1);
    EXPECT_EQ(script.asked[script.asked.size() - 1].request.extensions, std::vector<std::string>{"mod"});
    EXPECT_TRUE(messages().empty());

    std::vector<float> expected = changed;
    for (int e = 0; e < BLOCK_TAG_COUNT; ++e) {
        expected[static_cast<std::size_t>(BLOCK_TAGS[2][e])] = saved[static_cast<std::size_t>(BLOCK_TAGS[0][e])];
        if (e >= BLOCK_XY_FIRST)
            expected[static_cast<std::size_t>(BLOCK_TAGS[0][e])] = saved[static_cast<std::size_t>(BLOCK_TAGS[1][e])];
    }
    for (int32_t p : APlugin::MOD_PARAMETERS) expected[static_cast<std::size_t>(p)] = saved[static_cast<std::size_t>(p)];
    // Applied as a program, which sets the pads' live MIDI positions back to 0.
    for (int b = 0; b < BLOCK_COUNT; ++b)
        for (int32_t p : {XY_MIDI_X_TAG[b], XY_MIDI_Y_TAG[b]}) expected[static_cast<std::size_t>(p)] = 0.0f;
    const std::vector<float> loaded = values(*fx);
    for (int p = 0; p < PARAMETER_COUNT; ++p) ASSERT_EQ(loaded[static_cast<std::size_t>(p)], expected[static_cast<std::size_t>(p)]) << p;

    // Written by hand: another version word and words after the matrix; a path with no final
    // line end; six decimals.
    write("d.mod", "V2.0\n" + lines(16, "0.250000") + "whatever follows\n");
    choose(file("d.mod"));
    fx->doModCommand(16, -1);
    EXPECT_EQ(fx->getParameter(MOD_SOURCE_TAG[3]), 0.25f);
    std::string path = lines(82, "0.125000");
    path.pop_back();
    write("e.xyp", path);
    choose(file("e.xyp"));
    fx->doBlockCommand(26, 2, -1, -1);
    EXPECT_EQ(fx->getParameter(XY_Y_START[2] + 31), 0.125f);
    EXPECT_TRUE(messages().empty());
}

TEST_F(PresetFilesTest, ControllerMapsRoundTripThroughTheirFile) {
    auto fx = make();
    for (int cc : {0, 7, 127}) setMidiCC(cc, 100 + cc);
    setMidiCC(64, 800);
    fx->setAllMidiControls();
    const std::vector<int> bound = map(*fx);
    choose(file("map.ecs"));
    fx->saveECS();
    EXPECT_EQ(script.asked.back().request.defaultName, "Tarnwell.ecs");
    const std::string text = read("map.ecs");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 128);
    EXPECT_EQ(text.substr(0, 4), "100\n");

    fx->clearMidi();
    EXPECT_EQ(getMidiCC(7), 0);
    choose(file("map.ecs"));
    fx->loadECS();
    EXPECT_EQ(map(*fx), bound);
    EXPECT_EQ(getMidiCC(127), 227);
    EXPECT_EQ(make()->midiMap.ccToParam[64], 800);

    write("zeros.ecs", lines(128, "0"));
    choose(file("zeros.ecs"));
    fx->loadECS();
    EXPECT_EQ(map(*fx), std::vector<int>(128, 0));
    EXPECT_TRUE(messages().empty());
}

// Each refused with its message; no parameter and no binding changes.
TEST_F(PresetFilesTest, BadFilesChangeNothing) {
    auto fx = make();
    scramble(*fx, 7);
    setMidiCC(3, 33);
    fx->setAllMidiControls();
    const std::string block = lines(167, "0.5");
    struct Case {
        const char* name;
        std::string text;  // none: the file is not written
        int kind;          // 0 Block, 1 XY, 2 modulation, 3 controller map
    };
    const std::string folderName = "folder.blp";
    std::filesystem::create_directories(file(folderName));
    const Case cases[] = {
        {"short.blp", lines(166, "0.5"), 0},
        {"long.blp", block + "0.5\n", 0},
        {"high.blp", lines(166, "0.5") + "1.5\n", 0},
        {"nan.blp", lines(166, "0.5") + "nan\n", 0},
        {"word.blp", lines(100, "0.5") + "0.5x\n" + lines(66, "0.5"), 0},
        {"empty.blp", "", 0},
        {"mod.blp", "V1.0\n" + lines(16, "0.5"), 0},
        {"missing.blp", {}, 0},
        {"folder.blp", {}, 0},
        {"block.xyp", block, 1},
        {"short.xyp", lines(81, "0.5"), 1},
        {"values.mod", lines(82, "0.5"), 2},
        {"short.mod", "V1.0\n" + lines(15, "0.5"), 2},
        {"low.mod", "V1.0\n" + lines(15, "0.5") + "-0.1\n", 2},
        {"short.ecs", lines(127, "0"), 3},
        {"long.ecs", lines(129, "0"), 3},
        {"high.ecs", lines(127, "0") + "801\n", 3},
        {"fraction.ecs", lines(127, "0") + "12.5\n", 3},
        {"block.ecs", block, 3},
    };
    const char* errors[] = {"Problem with Block Preset file", "Problem with XY Path file", "Problem with Mod file",
                            "Problem with ECS File"};
    const std::vector<float> before = values(*fx);
    const std::vector<int> boundBefore = map(*fx);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.text.empty() || std::string(c.name) == "empty.blp") write(c.name, c.text);
        script.asked.clear();
        choose(file(c.name));
        switch (c.kind) {
        case 0: fx->doBlockCommand(43, 1, -1, -1); break;
        case 1: fx->doBlockCommand(26, 1, -1, -1); break;
        case 2: fx->doModCommand(16, -1); break;
        default: fx->loadECS(); break;
        }
        EXPECT_EQ(messages(), std::vector<std::string>{errors[c.kind]});
        ASSERT_EQ(values(*fx), before);
        ASSERT_EQ(map(*fx), boundBefore);
        EXPECT_EQ(getMidiCC(3), 33);
    }

    // A cancelled chooser: no message, nothing changed.
    script.asked.clear();
    cancel();
    fx->doBlockCommand(43, 0, -1, -1);
    cancel();
    fx->loadECS();
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(values(*fx), before);
}

// A save that cannot be made says so and leaves what was there; one that can replaces the
// file whole and leaves nothing beside it.
TEST_F(PresetFilesTest, SavesReplaceFilesWholeOrNotAtAll) {
    auto fx = make();
    write("keep.mod", "old\n");
    std::filesystem::create_directories(file("taken.mod"));
    choose(file("taken.mod"));
    fx->saveMod();
    choose(file("no such folder/x.mod"));
    fx->saveMod();
    choose(file("dir.ecs"));
    std::filesystem::create_directories(file("dir.ecs"));
    fx->saveECS();
    EXPECT_EQ(messages(), (std::vector<std::string>{"Problem with Mod File", "Problem with Mod File", "Problem with ECS File"}));

    choose(file("keep.mod"));
    fx->saveMod();
    EXPECT_EQ(read("keep.mod").substr(0, 5), "V1.0\n");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dir.ecs", "keep.mod", "taken.mod"}));
}
