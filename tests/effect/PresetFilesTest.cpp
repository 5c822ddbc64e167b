// Block, XY path, modulation and controller-map files: round trips, bad files, failed saves.

#include "framework/platform/Preferences.h"
#include "tests/effect/PluginFixture.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
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
    // Each line of text: whether all pass and how many there are.
    static std::pair<bool, int> eachLine(const std::string& text, bool (*good)(const std::string&)) {
        std::istringstream in(text);
        int n = 0;
        bool all = !text.empty() && text.back() == '\n';
        for (std::string line; std::getline(in, line); ++n) all = all && good(line);
        return {all, n};
    }
    static bool fixedSix(const std::string& l) { return l.size() >= 8 && l[1] == '.' && l.find_first_not_of("0123456789", 2) == std::string::npos && std::isdigit(static_cast<unsigned char>(l[0])); }
    static bool whole(const std::string& l) { return !l.empty() && l.find_first_not_of("0123456789") == std::string::npos; }
    static std::vector<int> map(APlugin& fx) { return {std::begin(fx.midiMap.ccToParam), std::end(fx.midiMap.ccToParam)}; }

    const std::string folder = prefs.userFolder() + "/files";
};

}  // namespace

TEST_F(PresetFilesTest, FilesRoundTripEveryValue) {
    auto fx = make();
    scramble(*fx, 5);
    const float awkward[] = {1e-7f, 0.1f, 1.0f / 3.0f, 1.0f, 0.0f, 0.99999994f};
    for (int k = 0; k < 6; ++k) fx->setParameter(BLOCK_TAGS[0][3 + k], awkward[k]);
    fx->setModVariables(1, true, 0.7f, 12, 33);
    for (int cc : {0, 7, 127}) setMidiCC(cc, 100 + cc);
    fx->setAllMidiControls();
    const std::vector<float> saved = values(*fx);
    const std::vector<int> bound = map(*fx);

    for (const char* name : {"a.blp", "b.xyp", "c.mod", "d.ecs"}) choose(file(name));
    fx->doBlockCommand(44, 0, -1, -1);
    EXPECT_EQ(script.asked.back().request.defaultName, "Block.blp");
    EXPECT_EQ(std::string(fx->blockPresetDir), folder + "/") << "the next chooser opens where this one ended";
    fx->doBlockCommand(27, 1, -1, -1);
    fx->doModCommand(17, -1);
    fx->saveECS();
    EXPECT_EQ(eachLine(read("a.blp"), fixedSix), std::pair(true, 167));
    EXPECT_EQ(read("c.mod").substr(0, 5), "V1.0\n");
    EXPECT_EQ(eachLine(read("d.ecs"), whole), std::pair(true, 128));
    EXPECT_EQ(read("d.ecs").substr(0, 4), "100\n");

    scramble(*fx, 6);
    fx->doModCommand(3, -1);
    fx->clearMidi();
    std::vector<float> expected = values(*fx);
    for (const char* name : {"a.blp", "b.xyp", "c.mod", "d.ecs"}) choose(file(name));
    fx->doBlockCommand(43, 2, -1, -1);  // Block 1's preset into Block 3
    fx->doBlockCommand(26, 0, -1, -1);  // Block 2's path into Block 1
    fx->doModCommand(16, -1);
    fx->loadECS();
    EXPECT_TRUE(messages().empty());

    auto at = [](const std::vector<float>& v, int32_t p) { return v[static_cast<std::size_t>(p)]; };
    for (int e = 0; e < BLOCK_TAG_COUNT; ++e) {
        expected[static_cast<std::size_t>(BLOCK_TAGS[2][e])] = at(saved, BLOCK_TAGS[0][e]);
        if (e >= BLOCK_XY_FIRST) expected[static_cast<std::size_t>(BLOCK_TAGS[0][e])] = at(saved, BLOCK_TAGS[1][e]);
    }
    for (int32_t p : APlugin::MOD_PARAMETERS) expected[static_cast<std::size_t>(p)] = at(saved, p);
    // Applied as a program, which puts the pads' live MIDI positions back to 0.
    for (int b = 0; b < BLOCK_COUNT; ++b) expected[static_cast<std::size_t>(XY_MIDI_X_TAG[b])] = expected[static_cast<std::size_t>(XY_MIDI_Y_TAG[b])] = 0.0f;
    EXPECT_EQ(values(*fx), expected);
    EXPECT_EQ(map(*fx), bound);
    EXPECT_EQ(make()->midiMap.ccToParam[127], 227);

    // Written by hand: another version word and words after the matrix; a path with no final
    // line end.
    write("e.mod", "V2.0\n" + lines(16, "0.250000") + "whatever follows\n");
    std::string path = lines(82, "0.125");
    path.pop_back();
    write("f.xyp", path);
    for (const char* name : {"e.mod", "f.xyp"}) choose(file(name));
    fx->doModCommand(16, -1);
    fx->doBlockCommand(26, 2, -1, -1);
    EXPECT_EQ(fx->getParameter(MOD_SOURCE_TAG[3]), 0.25f);
    EXPECT_EQ(fx->getParameter(XY_Y_START[2] + 31), 0.125f);
    EXPECT_TRUE(messages().empty());
}

// Each refused with its message; no parameter and no binding changes. A cancelled chooser
// shows nothing.
TEST_F(PresetFilesTest, BadFilesChangeNothing) {
    auto fx = make();
    scramble(*fx, 7);
    setMidiCC(3, 33);
    fx->setAllMidiControls();
    const std::string block = lines(167, "0.5");
    std::filesystem::create_directories(file("folder.blp"));
    const std::pair<const char*, std::string> cases[] = {  // no text: the file is not written
        {"short.blp", lines(166, "0.5")}, {"long.blp", block + "0.5\n"}, {"high.blp", lines(166, "0.5") + "1.5\n"},
        {"nan.blp", lines(166, "0.5") + "nan\n"}, {"word.blp", lines(100, "0.5") + "0.5x\n" + lines(66, "0.5")},
        {"empty.blp", "\n"}, {"mod.blp", "V1.0\n" + lines(16, "0.5")}, {"missing.blp", ""}, {"folder.blp", ""},
        {"block.xyp", block}, {"short.xyp", lines(81, "0.5")},
        {"values.mod", lines(82, "0.5")}, {"short.mod", "V1.0\n" + lines(15, "0.5")}, {"low.mod", "V1.0\n-0.1\n" + lines(15, "0.5")},
        {"short.ecs", lines(127, "0")}, {"long.ecs", lines(129, "0")}, {"high.ecs", lines(127, "0") + "801\n"},
        {"fraction.ecs", lines(127, "0") + "12.5\n"}, {"block.ecs", block}};
    const std::vector<float> before = values(*fx);
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        if (!text.empty()) write(name, text);
        script.asked.clear();
        choose(file(name));
        const std::string kind = std::filesystem::path(name).extension();
        if (kind == ".blp") fx->doBlockCommand(43, 1, -1, -1);
        if (kind == ".xyp") fx->doBlockCommand(26, 1, -1, -1);
        if (kind == ".mod") fx->doModCommand(16, -1);
        if (kind == ".ecs") fx->loadECS();
        const char* error = kind == ".blp" ? "Problem with Block Preset file" : kind == ".xyp" ? "Problem with XY Path file"
                            : kind == ".mod" ? "Problem with Mod file" : "Problem with ECS File";
        EXPECT_EQ(messages(), std::vector<std::string>{error});
        ASSERT_EQ(values(*fx), before);
        ASSERT_EQ(getMidiCC(3) + fx->midiMap.ccToParam[3], 66);
    }
    script.asked.clear();
    cancel();
    fx->doBlockCommand(43, 0, -1, -1);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(values(*fx), before);
}

// A save that cannot be made says so and leaves what was there; one that can replaces the file
// whole and leaves nothing beside it.
TEST_F(PresetFilesTest, SavesReplaceFilesWholeOrNotAtAll) {
    auto fx = make();
    write("keep.mod", "old\n");
    std::filesystem::create_directories(file("taken.mod"));
    for (const char* name : {"taken.mod", "no such folder/x.mod", "keep.mod"}) choose(file(name));
    for (int i = 0; i < 3; ++i) fx->saveMod();
    EXPECT_EQ(messages(), (std::vector<std::string>{"Problem with Mod File", "Problem with Mod File"}));
    EXPECT_EQ(read("keep.mod").substr(0, 5), "V1.0\n");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"keep.mod", "taken.mod"}));
}
