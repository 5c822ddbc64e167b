// The Block, gater, XY-path and modulation commands and their undo, judged by the values they leave;
// Block, XY path, modulation and controller-map files: round trips, bad files, failed saves.

#include "effect/MenuCommands.h"
#include "framework/platform/Preferences.h"
#include "tests/effect/PluginFixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

using namespace tarnwell::test;

namespace {

class CommandsTest : public CommandFixture {
protected:
    // Runs a path command, answering its prompt: nullptr for none, "=" to accept the default
    // shown, "!" to cancel, else the text typed.
    void run(APlugin& fx, int command, int block, const char* typed) {
        if (typed && std::string(typed) == "=")
            script.push({Answer::Ok, ""});
        else if (typed && std::string(typed) == "!")
            cancel();
        else if (typed)
            answer(typed);
        fx.doBlockCommand(command, block, -1, -1);
    }
    static std::pair<float, float> point(APlugin& fx, int b, int i) {
        float x, y;
        fx.getXYValues(b, i, x, y);
        return {x, y};
    }
    static std::vector<float> side(APlugin& fx, int b, int s) {
        std::vector<float> v;
        for (int k = 0; k < 16; ++k) v.push_back(fx.getGaterValue(b, s, k));
        return v;
    }
};

struct PointCase {
    int command;
    const char* typed;
    int point;
    float x, y;
};

class PresetFilesTest : public CommandFixture {
protected:
    PresetFilesTest() { std::filesystem::create_directories(folder); }
    std::string file(const std::string& name) const { return folder + "/" + name; }
    void write(const std::string& name, const std::string& text) const {
        PreferencesSandbox::write(file(name), text);
    }
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
    static bool fixedSix(const std::string& l) {
        return l.size() >= 8 && l[1] == '.' && l.find_first_not_of("0123456789", 2) == std::string::npos &&
               std::isdigit(static_cast<unsigned char>(l[0]));
    }
    static bool whole(const std::string& l) {
        return !l.empty() && l.find_first_not_of("0123456789") == std::string::npos;
    }
    static std::vector<int> map(APlugin& fx) {
        return {std::begin(fx.midiMap.ccToParam), std::end(fx.midiMap.ccToParam)};
    }

    const std::string folder = prefs.userFolder() + "/files";
};

}  // namespace

// Copies and swaps move whole rows, the XY part or the gater part; undo restores all three Blocks
// bit for bit and repeats itself; every command, even one with no meaning, takes a snapshot.
TEST_F(CommandsTest, CopiesSwapsResetsAndTheirUndo) {
    std::set<int32_t> tags;  // every row its own parameters, so a copy never moves one twice
    for (const auto& row : BLOCK_TAGS) tags.insert(row.begin(), row.end());
    EXPECT_EQ(tags.size(), 3u * BLOCK_TAG_COUNT);
    auto fx = make();
    scramble(*fx, 4);
    const std::vector<float> v = values(*fx);
    fx->doBlockCommand(BLOCK_UNDO, 0, -1, -1);
    EXPECT_EQ(values(*fx), v);
    const auto &b1 = BLOCK_TAGS[0], &b2 = BLOCK_TAGS[1];
    auto at = [&](int32_t p) { return v[static_cast<std::size_t>(p)]; };
    struct Case {
        int command, first, last;  // the entries that move from Block 2 to Block 1
        bool swap;
    };
    for (const Case c : {Case{BLOCK_COPY, 0, 166, false}, Case{BLOCK_SWAP, 0, 166, true},
                         Case{XY_COPY, 85, 166, false}, Case{GATER_SWAP, 28, 64, true}}) {
        fx->doBlockCommand(c.command, 1, 0, 0);
        for (int e = 0; e < BLOCK_TAG_COUNT; ++e) {
            const bool moves = e >= c.first && e <= c.last;
            ASSERT_EQ(fx->getParameter(b1[e]), at(moves ? b2[e] : b1[e])) << c.command << " " << e;
            ASSERT_EQ(fx->getParameter(b2[e]), at(moves && c.swap ? b1[e] : b2[e])) << c.command;
        }
        fx->doBlockCommand(BLOCK_UNDO, 0, -1, -1);
        fx->doBlockCommand(BLOCK_UNDO, 0, -1, -1);
        ASSERT_EQ(values(*fx), v);
    }
    for (int command :
         std::initializer_list<int>{XY_COPY, XY_SWAP, BLOCK_COPY, BLOCK_SWAP, GATER_COPY, GATER_SWAP, 37})
        fx->doBlockCommand(command, 0, command < GATER_RESET ? -1 : 3, 0);
    scramble(*fx, 5);
    fx->doBlockCommand(BLOCK_UNDO, 0, -1, -1);
    EXPECT_EQ(values(*fx), v);

    fx->doBlockCommand(XY_RESET_ALL, 1, -1, -1);  // the XY amounts and the XY part to their defaults
    for (int e = 0; e < BLOCK_TAG_COUNT; ++e)
        ASSERT_EQ(fx->getParameter(b2[e]), e >= 79 ? fx->getDefaultValue(b2[e]) : at(b2[e])) << e;
    EXPECT_TRUE(fx->getUpdateXY(1));
}

TEST_F(CommandsTest, ShapesDrawTheirPaths) {
    auto fx = make();
    const float pi = 3.14159f;
    const PointCase cases[] = {
        {XY_CIRCLE, nullptr, 0, 0.5f, 1.0f},
        {XY_CIRCLE, nullptr, 8, 1.0f, 0.5f},  // circle, clockwise from the top
        {XY_SQUARE, nullptr, 12, 0.5f, 1.0f},
        {XY_SQUARE, nullptr, 28, 0.5f, 0.0f},  // square from (0, 0)
        {XY_HORIZONTAL, nullptr, 31, 1.0f, 0.5f},
        {XY_VERTICAL, nullptr, 31, 0.5f, 1.0f},  // lines
        {XY_DIAGONAL, "=", 31, 1.0f, 1.0f},
        {XY_DIAGONAL, "=", 0, 0.0f, 0.0f},  // diagonal, the default 45 degrees
        {XY_DIAGONAL, "!", 0, 0.0f, 0.5f},
        {XY_DIAGONAL, "90", 31, 0.5f, 1.0f},         // cancelled: 0 degrees
        {XY_SPIRAL_IN, "4 turns", 8, 0.5f, 0.875f},  // a whole turn every 8 points
        {XY_SPIRAL_OUT, "99999", 4, 0.5f + 0.0625f * std::sin(250.0f * pi),
         0.5f + 0.0625f * std::cos(250.0f * pi)},
        {XY_SINE, "90", 0, 0.0f, 1.0f},
        {XY_SQUARE_WAVE, "0", 16, 0.5f, 1.0f},  // sine a quarter on; square wave
        {XY_SAW_UP, "180", 16, 0.5f, 0.0f},
        {XY_SAW_DOWN, "0", 8, 0.25f, 0.75f},                 // saws
        {XY_TRIANGLE, "!", 8, 8.0f / 31.0f, 16.0f / 31.0f},  // triangle
    };
    for (const PointCase& c : cases) {
        run(*fx, c.command, 0, c.typed);
        const auto [x, y] = point(*fx, 0, c.point);
        EXPECT_NEAR(x, c.x, 1e-5f) << c.command << " point " << c.point;
        EXPECT_NEAR(y, c.y, 1e-5f) << c.command << " point " << c.point;
    }
    EXPECT_EQ(script.asked.front().title, "XY Diagonal Line");
    EXPECT_EQ(script.asked.front().startText, "45");
    EXPECT_NEAR(fx->getXYPathTime(0), 4.0f, 1e-6f) << "a drawn path with no length replays in 4 s";

    // Lines stop at point 32 - k: with two points used (k = 16) points 17..31 stay.
    fx->setParameter(XY_POINT_QUANT_TAG[0], 4.1f / 4.99f);
    run(*fx, XY_VERTICAL, 0, nullptr);
    EXPECT_EQ(point(*fx, 0, 16), std::pair(0.5f, 1.0f));
    EXPECT_EQ(point(*fx, 0, 17), std::pair(17.0f / 31.0f, 1.0f - std::fabs(2.0f * 17.0f / 31.0f - 1.0f)));
}

TEST_F(CommandsTest, TransformationsMoveThePointsTheyHave) {
    auto fx = make();
    auto x = [](int i) { return static_cast<float>(i) / 31.0f; };
    auto y = [](int i) { return i == 10 ? 0.9f : 0.1f; };  // a line with one spike
    const PointCase cases[] = {
        {XY_SMOOTH, nullptr, 10, x(10), 0.1f},
        {XY_SMOOTH, nullptr, 9, x(9), 0.5f},  // smooth: the spike spreads, halved
        {XY_REVERSE, nullptr, 21, x(10), 0.9f},
        {XY_FLIP_Y, nullptr, 10, x(10), 0.1f},
        {XY_FLIP_X, nullptr, 10, 1.0f - x(10), 0.9f},
        {XY_ROTATE, "90", 10, 0.1f, x(10)},
        {XY_GRID, "4", 20, 0.6f, 0.2f},  // a quarter turn; a grid of 5 levels
        {XY_SCALE, "50", 10, x(10) / 2.0f, 0.45f},
        {XY_SCALE, "!", 31, 0.0f, 0.0f},
        {XY_CENTRAL_SCALE, "200", 10, 2.0f * x(10) - 0.5f, 1.0f},
        {XY_CENTRAL_SCALE, "!", 0, 0.5f, 0.5f},  // about the centre, held on the pad
    };
    fx->setParameter(XY_LEN_SEC_TAG[1], 0.001f);
    for (const PointCase& c : cases) {
        for (int i = 0; i < 32; ++i) fx->setXY(1, i, x(i), y(i));
        run(*fx, c.command, 1, c.typed);
        const auto [px, py] = point(*fx, 1, c.point);
        EXPECT_NEAR(px, c.x, 1e-5f) << c.command << " point " << c.point;
        EXPECT_NEAR(py, c.y, 1e-5f) << c.command << " point " << c.point;
    }
    EXPECT_NEAR(fx->getXYPathTime(1), 1.0f, 1e-6f) << "transformations keep the length";
    for (int i = 0; i < 32; ++i) fx->setXY(1, i, x(i), y(i));
    const std::vector<float> before = values(*fx);
    const PointCase unchanged[] = {{XY_ROTATE, "!", 0, 0, 0},
                                   {XY_GRID, "129", 0, 0, 0},
                                   {XY_GRID, "!", 0, 0, 0},
                                   {XY_SCALE, "100", 0, 0, 0},
                                   {XY_CENTRAL_SCALE, "100", 0, 0, 0}};
    for (const PointCase& c : unchanged) run(*fx, c.command, 1, c.typed);
    EXPECT_EQ(values(*fx), before) << "no turn, no grid and 100 % change nothing";
}

TEST_F(CommandsTest, GaterCommandsMoveTheSteps) {
    auto fx = make();
    const std::vector<float> p = {1, 0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0.5f}, q(16, 0.25f);
    auto shifted = [&](int by) {
        std::vector<float> v(16);
        for (int k = 0; k < 16; ++k)
            v[static_cast<std::size_t>((k + by + 16) % 16)] = p[static_cast<std::size_t>(k)];
        return v;
    };
    std::vector<float> inverted, on(16, 1.0f), off(16, 0.0f);
    for (float s : p) inverted.push_back(1.0f - s);
    const std::tuple<int, std::vector<float>, std::vector<float>> cases[] = {
        // left and right after a command on the right
        {GATER_FORWARD, q, shifted(1)},
        {GATER_BACKWARD, q, shifted(-1)},
        {GATER_REVERSE, q, {p.rbegin(), p.rend()}},
        {GATER_INVERT, q, inverted},
        {GATER_COPY_SIDE, p, p},
        {GATER_SWAP_SIDES, p, q},
        {GATER_SIDE_ON, q, on},
        {GATER_ALL_OFF, off, off}};
    for (const auto& [command, left, right] : cases) {
        for (int k = 0; k < 16; ++k) {
            fx->setParameter(GATER_TAG[2][0] + k, q[static_cast<std::size_t>(k)]);
            fx->setParameter(GATER_TAG[2][1] + k, p[static_cast<std::size_t>(k)]);
        }
        fx->doBlockCommand(command, 2, 0, 1);
        EXPECT_EQ(side(*fx, 2, 0), left) << command;
        EXPECT_EQ(side(*fx, 2, 1), right) << command;
    }
    fx->doBlockCommand(GATER_RESET, 2, 0, 0);
    for (int e = BLOCK_GATER_FIRST; e <= BLOCK_GATER_LAST; ++e)
        ASSERT_EQ(fx->getParameter(BLOCK_TAGS[2][e]), fx->getDefaultValue(BLOCK_TAGS[2][e])) << e;
}

TEST_F(CommandsTest, ModulationCommandsAndTheirUndo) {
    auto fx = make();
    const std::vector<float> fresh = values(*fx);
    fx->doModCommand(MOD_UNDO, -1);  // undo before any snapshot, paste before any copy, slot 5
    fx->doModCommand(MOD_PASTE, -1);
    fx->setModVariables(4, true, 1.0f, 2, 2);
    EXPECT_EQ(values(*fx), fresh);
    fx->doModCommand(SLOT_PASTE, 1);  // a slot paste before any slot copy empties the slot
    EXPECT_EQ(fx->getParameter(MOD_AMOUNT_TAG[1]), 0.0f);

    fx->setModVariables(0, false, 0.8f, 1, 20);
    fx->setModVariables(2, true, 0.3f, 7, 40);
    fx->setModVariables(0, false, 0.8f, -1, 21);  // the source stays
    EXPECT_EQ(fx->getModSource(0) * 100 + fx->getModDestination(0), 121);
    const std::vector<float> set = values(*fx);
    for (int command : {MOD_COPY, MOD_CLEAR, MOD_PASTE}) fx->doModCommand(command, -1);
    EXPECT_EQ(values(*fx), set);
    fx->doModCommand(MOD_UNDO, -1);  // the paste took its own snapshot; a second undo repeats the first
    fx->doModCommand(MOD_UNDO, -1);
    EXPECT_EQ(fx->getModSource(0), 0);
    fx->doModCommand(MOD_PASTE, -1);

    fx->doModCommand(SLOT_SWAP_NEXT,
                     0);  // slots 1 and 2 as the user counts them trade places; slot 4 has no next
    fx->doModCommand(SLOT_SWAP_NEXT, 3);
    EXPECT_EQ(fx->getModDestination(1) * 100 + fx->getModDestination(0), 2100);
    fx->doModCommand(SLOT_COPY, 2);  // slot 3 copied to slot 4, then unbypassed; slot 3's amount reset
    fx->doModCommand(SLOT_PASTE, 3);
    fx->doModCommand(SLOT_UNBYPASS, 3);
    fx->doModCommand(SLOT_RESET_AMOUNT, 2);
    EXPECT_EQ(fx->getModSource(3), 7);
    EXPECT_FALSE(fx->getModBypass(3));
    EXPECT_TRUE(fx->getModBypass(2));
    EXPECT_EQ(fx->getParameter(MOD_AMOUNT_TAG[2]), fx->getDefaultValue(MOD_AMOUNT_TAG[2]));
}

// The pad's MIDI X and Y, learned, typed in and unbound from its menu.
TEST_F(CommandsTest, PadMidiBindings) {
    auto fx = make();
    fx->doBlockCommand(XY_LEARN_X, 2, -1, -1);
    EXPECT_TRUE(fx->midiMap.learnArmed);
    EXPECT_EQ(fx->midiMap.learnTarget, XY_MIDI_X_TAG[2]);
    for (const char* typed : {"300", "21", "!"}) run(*fx, XY_CC_Y, 2, typed);  // held at 127, then moved
    EXPECT_EQ(script.asked.back().title, "Midi CC (0 - 127)");
    EXPECT_EQ(fx->midiMap.ccToParam[127], 0);
    EXPECT_EQ(getMidiCC(21), XY_MIDI_Y_TAG[2]);
    run(*fx, XY_CC_X, 2, "5");
    EXPECT_EQ(fx->midiMap.ccToParam[5], XY_MIDI_X_TAG[2]);
    fx->doBlockCommand(XY_UNBIND, 2, -1, -1);
    EXPECT_EQ(fx->midiMap.ccToParam[5], 0);
    EXPECT_EQ(getMidiCC(21), 0);
}

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
    fx->doBlockCommand(BLOCK_SAVE, 0, -1, -1);
    EXPECT_EQ(script.asked.back().request.defaultName, "Block.blp");
    EXPECT_EQ(std::string(fx->blockPresetDir), folder + "/") << "the next chooser opens where this one ended";
    fx->doBlockCommand(XY_SAVE, 1, -1, -1);
    fx->doModCommand(MOD_SAVE, -1);
    fx->saveECS();
    EXPECT_EQ(eachLine(read("a.blp"), fixedSix), std::pair(true, 167));
    EXPECT_EQ(read("c.mod").substr(0, 5), "V1.0\n");
    EXPECT_EQ(eachLine(read("d.ecs"), whole), std::pair(true, 128));
    EXPECT_EQ(read("d.ecs").substr(0, 4), "100\n");

    scramble(*fx, 6);
    fx->doModCommand(MOD_CLEAR, -1);
    fx->clearMidi();
    std::vector<float> expected = values(*fx);
    for (const char* name : {"a.blp", "b.xyp", "c.mod", "d.ecs"}) choose(file(name));
    fx->doBlockCommand(BLOCK_LOAD, 2, -1, -1);  // Block 1's preset into Block 3
    fx->doBlockCommand(XY_LOAD, 0, -1, -1);     // Block 2's path into Block 1
    fx->doModCommand(MOD_LOAD, -1);
    fx->loadECS();
    EXPECT_TRUE(messages().empty());

    auto at = [](const std::vector<float>& v, int32_t p) { return v[static_cast<std::size_t>(p)]; };
    for (int e = 0; e < BLOCK_TAG_COUNT; ++e) {
        expected[static_cast<std::size_t>(BLOCK_TAGS[2][e])] = at(saved, BLOCK_TAGS[0][e]);
        if (e >= BLOCK_XY_FIRST)
            expected[static_cast<std::size_t>(BLOCK_TAGS[0][e])] = at(saved, BLOCK_TAGS[1][e]);
    }
    for (int32_t p : APlugin::MOD_PARAMETERS) expected[static_cast<std::size_t>(p)] = at(saved, p);
    // Applied as a program, which puts the pads' live MIDI positions back to 0.
    for (int b = 0; b < BLOCK_COUNT; ++b)
        expected[static_cast<std::size_t>(XY_MIDI_X_TAG[b])] =
            expected[static_cast<std::size_t>(XY_MIDI_Y_TAG[b])] = 0.0f;
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
    fx->doModCommand(MOD_LOAD, -1);
    fx->doBlockCommand(XY_LOAD, 2, -1, -1);
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
    const std::pair<const char*, std::string> cases[] = {
        // no text: the file is not written
        {"short.blp", lines(166, "0.5")},
        {"long.blp", block + "0.5\n"},
        {"high.blp", lines(166, "0.5") + "1.5\n"},
        {"nan.blp", lines(166, "0.5") + "nan\n"},
        {"word.blp", lines(100, "0.5") + "0.5x\n" + lines(66, "0.5")},
        {"empty.blp", "\n"},
        {"mod.blp", "V1.0\n" + lines(16, "0.5")},
        {"missing.blp", ""},
        {"folder.blp", ""},
        {"block.xyp", block},
        {"short.xyp", lines(81, "0.5")},
        {"values.mod", lines(82, "0.5")},
        {"short.mod", "V1.0\n" + lines(15, "0.5")},
        {"low.mod", "V1.0\n-0.1\n" + lines(15, "0.5")},
        {"short.ecs", lines(127, "0")},
        {"long.ecs", lines(129, "0")},
        {"high.ecs", lines(127, "0") + "801\n"},
        {"fraction.ecs", lines(127, "0") + "12.5\n"},
        {"block.ecs", block}};
    const std::vector<float> before = values(*fx);
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        if (!text.empty()) write(name, text);
        script.asked.clear();
        choose(file(name));
        const std::string kind = std::filesystem::path(name).extension();
        if (kind == ".blp") fx->doBlockCommand(BLOCK_LOAD, 1, -1, -1);
        if (kind == ".xyp") fx->doBlockCommand(XY_LOAD, 1, -1, -1);
        if (kind == ".mod") fx->doModCommand(MOD_LOAD, -1);
        if (kind == ".ecs") fx->loadECS();
        const char* error = kind == ".blp"   ? "Problem with Block Preset file"
                            : kind == ".xyp" ? "Problem with XY Path file"
                            : kind == ".mod" ? "Problem with Mod file"
                                             : "Problem with ECS File";
        EXPECT_EQ(messages(), std::vector<std::string>{error});
        ASSERT_EQ(values(*fx), before);
        ASSERT_EQ(getMidiCC(3) + fx->midiMap.ccToParam[3], 66);
    }
    script.asked.clear();
    cancel();
    fx->doBlockCommand(BLOCK_LOAD, 0, -1, -1);
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
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"keep.mod", "taken.mod"}));
}

// Saves write through a symlink onto its target, keep a file's permissions, refuse a read-only
// file, and take any name the folder takes (the temporary name stays short).
TEST_F(PresetFilesTest, SavesKeepLinksPermissionsAndLongNames) {
    auto fx = make();
    write("real.blp", "old\n");
    ASSERT_EQ(symlink("real.blp", file("link.blp").c_str()), 0);
    write("private.mod", "old\n");
    ASSERT_EQ(chmod(file("private.mod").c_str(), 0600), 0);
    write("locked.xyp", "old\n");
    ASSERT_EQ(chmod(file("locked.xyp").c_str(), 0444), 0);
    const std::string longest = std::string(251, 'n') + ".ecs";
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);  // the chooser's answer holds 255 bytes at most
    for (const std::string& name : {file("link.blp"), file("private.mod"), file("locked.xyp"), longest})
        choose(name);
    fx->doBlockCommand(BLOCK_SAVE, 0, -1, -1);
    fx->doModCommand(MOD_SAVE, -1);
    fx->doBlockCommand(XY_SAVE, 1, -1, -1);
    fx->saveECS();
    std::filesystem::current_path(before);

    EXPECT_TRUE(std::filesystem::is_symlink(file("link.blp")));
    EXPECT_EQ(eachLine(read("real.blp"), fixedSix), std::pair(true, 167));
    EXPECT_EQ(read("private.mod").substr(0, 5), "V1.0\n");
    EXPECT_EQ(std::filesystem::status(file("private.mod")).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(read("locked.xyp"), "old\n");
    EXPECT_EQ(messages(), std::vector<std::string>{"Problem with XY Path File"});
    EXPECT_EQ(eachLine(read(longest), whole), std::pair(true, 128));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"link.blp", "locked.xyp", longest, "private.mod", "real.blp"}));
}

// A named pipe chosen to load or to save is refused at once, with no wait and no change.
TEST_F(PresetFilesTest, PipesAreRefusedWithoutWaiting) {
    auto fx = make();
    ASSERT_EQ(mkfifo(file("pipe.blp").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(file("pipe.ecs").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(file("pipe.mod").c_str(), 0600), 0);
    const std::vector<float> before = values(*fx);
    // Should a load or save wait for the other end, it comes after five seconds and the test fails
    // (and a save that then writes into a pipe nobody reads fails rather than ending the program).
    const auto previous = signal(SIGPIPE, SIG_IGN);
    std::atomic<bool> done{false}, rescued{false};
    std::thread watchdog([&] {
        for (int i = 0; !done; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (const char* name : {"pipe.blp", "pipe.ecs", "pipe.mod"}) {
                const bool saving = name == std::string("pipe.mod");
                const int other =
                    i < 500 ? -1 : open(file(name).c_str(), (saving ? O_RDONLY : O_WRONLY) | O_NONBLOCK);
                if (other >= 0) rescued = true, close(other);
            }
        }
    });
    choose(file("pipe.blp"));
    fx->doBlockCommand(BLOCK_LOAD, 0, -1, -1);
    choose(file("pipe.ecs"));
    fx->loadECS();
    choose(file("pipe.mod"));
    fx->saveMod();
    done = true;
    watchdog.join();
    signal(SIGPIPE, previous);
    EXPECT_FALSE(rescued);
    EXPECT_EQ(messages(), (std::vector<std::string>{"Problem with Block Preset file", "Problem with ECS File",
                                                    "Problem with Mod File"}));
    EXPECT_EQ(values(*fx), before);
}
