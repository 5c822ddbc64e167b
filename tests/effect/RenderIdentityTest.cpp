// Every factory preset and every shared engine patch, rendered on fixed signals at two rates and
// two block sizes, must give exactly the output recorded in RenderReference.txt, whatever the
// block size: the engine's speed work may change how a frame is computed, never a single bit of
// what it gives.
//
// Regenerate the reference only for a change meant to alter the sound, and say why in the
// commit: scripts/render-reference [BUILD_DIR].

#include "tests/effect/EngineHarness.h"
#include "tests/effect/MidiEvents.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace tarnwell::test {
namespace {

// What happens at a frame of a render: a parameter written between two processing calls (the
// block is split there, as a host splits at automation), or a MIDI message handed over with the
// block that holds its frame.
struct RenderEvent {
    double at;  // seconds
    std::function<void(APlugin&)> write;
    MidiMessage midi;
};

struct RenderCase {
    std::string name;
    int preset;  // a factory preset, or -1 for a patch
    std::function<void(APlugin&)> patch;
    std::vector<RenderEvent> events = {};
};

struct RenderSetting {
    float rate;
    int block;
    double seconds;
};

// Both rates, with a large and an odd small block each: the odd size moves every block edge
// across the engine's 4-, 16- and 128-frame control steps.
constexpr RenderSetting SETTINGS[] = {
    {44100.0f, 512, 0.5}, {44100.0f, 61, 0.5}, {96000.0f, 512, 0.25}, {96000.0f, 61, 0.25}};

std::vector<RenderCase> renderCases() {
    std::vector<RenderCase> cases;
    for (int p = 0; p < FACTORY_PRESET_COUNT; ++p) {
        char name[32];
        std::snprintf(name, sizeof name, "preset%02d", p);
        cases.push_back({name, p, {}});
    }
    auto add = [&](std::string name, std::function<void(APlugin&)> patch) {
        cases.push_back({std::move(name), -1, std::move(patch)});
    };
    add("off", [](APlugin&) {});
    for (int type = 1; type <= 6; ++type)
        add("type" + std::to_string(type), [type](APlugin& e) {
            setBlocks(e, type % 6, {type, type, type});
        });
    // Every filter mode once, three to a chain.
    for (int first = 0; first < 37; first += 3) {
        add("filter" + std::to_string(first), [first](APlugin& e) {
            setBlocks(e, 3, {1, 1, 1});
            for (int b = 0; b < BLOCK_COUNT; ++b)
                e.setParameter(FILTER_MODE_TAG[b], choice(std::min(first + b, 36), 40.0f));
        });
    }
    for (int first = 0; first < 6; first += 3) {
        add("shaper" + std::to_string(first), [first](APlugin& e) {
            setBlocks(e, 4, {3, 3, 3});
            for (int b = 0; b < BLOCK_COUNT; ++b) e.setParameter(SHAPER_MODE_TAG[b], choice(first + b, 9.0f));
        });
    }
    add("comb1", [](APlugin& e) {
        setBlocks(e, 5, {2, 2, 2});
        for (int b = 0; b < BLOCK_COUNT; ++b) e.setParameter(COMB_MODE_TAG[b], choice(1, 9.99f));
    });
    for (int grainMode = 0; grainMode < 6; grainMode += 2) {
        add("grain" + std::to_string(grainMode), [grainMode](APlugin& e) {
            setBlocks(e, 0, {6, 6, 6});
            for (int b = 0; b < BLOCK_COUNT; ++b)
                e.setParameter(GRAIN_MODE_TAG[b], choice(grainMode + b % 2, 5.99f));
        });
    }
    // Grains at their edges: tiny recordings read many times faster than written (positions that
    // pass both ends in one frame), a read sixteen times the recording (the plain output runs
    // out), a shape modulated below 0, the other shapes, jitter and a replaying pad.
    add("grainedges", [](APlugin& e) {
        setBlocks(e, 5, {6, 6, 6});
        const float modes[3] = {0.0f, 4.0f, 3.0f};  // Ping, Off, Loop synced
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            e.setParameter(GRAIN_MODE_TAG[b], choice(static_cast<int>(modes[b]), 5.99f));
            e.setParameter(GRAIN_WRITE_SIZE_TAG[b], 0.02f * static_cast<float>(b));
            e.setParameter(GRAIN_UPDATE_RATE_TAG[b], 0.1f);
            e.setParameter(GRAIN_SEMI_TAG[b], 1.0f);
            e.setParameter(GRAIN_RANDOM_TAG[b], 1.0f);
        }
        e.setParameter(GRAIN_READ_SIZE_TAG[0], 1.0f);
        e.setParameter(GRAIN_DRY_TAG[0], 1.0f);
        e.setParameter(GRAIN_SHAPE_TAG[2], 0.9f);
        e.setParameter(GRAIN_UNLINK_TAG[2], 1.0f);
        setSlot(e, 0, 57, 4, 1.0f);    // white noise -> Block 1 Semi-tune
        setSlot(e, 1, 56, 31, -1.0f);  // Offset -> Block 2 Shape
        setSlot(e, 2, 57, 51, 0.8f);   // white noise -> Block 3 Fine-tune
        setSlot(e, 3, 58, 6, 0.5f);    // unipolar noise -> Block 1 Write Size
        setXYReplay(e, 2);
    });
    const int busy[][4] = {{0, 1, 2, 6}, {1, 2, 3, 4}, {2, 3, 4, 5},
                           {3, 6, 1, 2}, {4, 4, 5, 1}, {5, 5, 6, 3}};
    for (const auto& b : busy) {
        add("busy" + std::to_string(b[0]), [b](APlugin& e) { setBusyPatch(e, b[0], {b[1], b[2], b[3]}); });
    }
    add("replay", [](APlugin& e) {
        setBlocks(e, 3, {1, 2, 3});
        setFourSlots(e);
        for (int b = 0; b < BLOCK_COUNT; ++b) setXYReplay(e, b);
    });
    // The pads' quantisers, loop modes and speed modulation.
    add("xymodes", [](APlugin& e) {
        setBlocks(e, 1, {1, 2, 5});
        for (int b = 0; b < BLOCK_COUNT; ++b) setXYReplay(e, b);
        e.setParameter(XY_TIME_QUANT_TAG[0], choice(5, 30.99f));
        e.setParameter(XY_SPACE_QUANT_TAG[0], choice(3, 4.99f));
        e.setParameter(XY_POINT_QUANT_TAG[0], choice(2, 4.99f));
        e.setParameter(XY_PLAY_MODE_TAG[0], choice(2, 9.99f));  // Follower: Loop Off stays
        e.setParameter(XY_LOOP_MODE_TAG[0], choice(0, 2.99f));
        e.setParameter(XY_LOOP_MODE_TAG[1], choice(2, 2.99f));
        e.setParameter(XY_SPEED_TAG[1], 0.8f);
        e.setParameter(XY_SPEED_MOD_SOURCE_TAG[1], choice(57, 99.99f));
        e.setParameter(XY_SPEED_MOD_AMOUNT_TAG[1], 0.9f);
        e.setParameter(XY_SMOOTH_TAG[1], 0.3f);
        e.setParameter(XY_SYNC_TAG[2], 0.0f);  // free: a 0.3 s path
        e.setParameter(XY_LEN_MS_TAG[2], 0.3f);
        e.setParameter(FOLLOWER_SOURCE_PARAM, choice(2, 4.9f));
    });
    // Every combine kind, a slot driving the next one's amount, and sources the engine writes late.
    add("slots", [](APlugin& e) {
        setBlocks(e, 4, {4, 3, 1});
        setFeedbackDelay(e);
        setSlot(e, 0, 56, 87, 0.5f);   // Offset -> Mod 2 Amount
        setSlot(e, 1, 58, 10, 0.6f);   // unipolar noise -> Block 1 Gater Speed (exponential)
        setSlot(e, 2, 55, 18, -0.7f);  // Unipolar Out -> Block 1 Vol (scale, negative)
        setSlot(e, 3, 37, 2, 0.8f);    // Block 2 Polar X -> Global Dry
        setXYReplay(e, 1);
    });
    // Automation, MIDI and the Trigger between and inside blocks.
    const std::vector<RenderEvent> events = {
        {0.05, {}, {0, 0x90, 60, 100}},
        {0.11, [](APlugin& e) { e.setParameter(TRIGGER_PARAM, 1.0f); }, {}},
        {0.13, {}, {0, 0xB0, 1, 90}},
        {0.17, [](APlugin& e) { e.setParameter(blockParam(0, FILTER_FREQ_OFFSET), 0.2f); }, {}},
        {0.19, {}, {0, 0x80, 60, 0}},
        {0.23, [](APlugin& e) { e.setParameter(DELAY_LEFT_PARAM, 0.6f); }, {}},
        {0.29, [](APlugin& e) { setBlockType(e, 2, 4); }, {}},
        {0.31, [](APlugin& e) { e.setParameter(PATH_PARAM, choice(5, 5.99f)); }, {}},
        {0.37, [](APlugin& e) { e.setParameter(blockParam(1, BLOCK_MIX_OFFSET), 0.2f); }, {}},
        {0.41, [](APlugin& e) { e.setParameter(BLOCK_BYPASS_TAG[0], 1.0f); }, {}},
    };
    cases.push_back({"events", -1,
                     [](APlugin& e) {
                         setBusyPatch(e, 2, {1, 2, 3});
                         setSlot(e, 0, 1, 81, 0.8f);                             // Mod Wheel -> Delay Mix
                         e.setParameter(XY_PLAY_MODE_TAG[1], choice(3, 9.99f));  // Note
                         setXYReplay(e, 0);
                         e.setParameter(XY_PLAY_MODE_TAG[0], choice(1, 9.99f));  // Trigger
                     },
                     events});
    return cases;
}

// A phrase of tone bursts on the left, noise swells on the right, a loud stretch that clips,
// then silence, so tails decay in every render.
Stereo testSignal(float rate, std::size_t length) {
    Stereo s{Signal(length), Signal(length)};
    const Signal n = noise(length, 0.5, 777u);
    const double r = rate;
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / r;
        const double phrase = static_cast<double>(i) / static_cast<double>(length);
        double gate = phrase < 0.7 ? 1.0 : 0.0;
        const double burst = std::fmod(t, 0.25);
        const double env = std::exp(-12.0 * burst) * gate;
        const double loud = phrase > 0.45 && phrase < 0.55 ? 3.0 : 1.0;
        s.left[i] = static_cast<float>(loud * env *
                                       (0.6 * std::sin(2.0 * 3.14159265358979 * 220.0 * t) +
                                        0.3 * std::sin(2.0 * 3.14159265358979 * 1375.0 * t)));
        s.right[i] = static_cast<float>(gate * static_cast<double>(n[i]) *
                                        (0.5 + 0.5 * std::sin(2.0 * 3.14159265358979 * 1.7 * t)));
    }
    return s;
}

// FNV-1a over the output's bit patterns, left then right.
uint64_t hashOf(const Stereo& out) {
    uint64_t h = 1469598103934665603ull;
    for (const Signal* channel : {&out.left, &out.right}) {
        for (const float v : *channel) {
            uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            for (int k = 0; k < 4; ++k) {
                h ^= (bits >> (8 * k)) & 0xFFu;
                h *= 1099511628211ull;
            }
        }
    }
    return h;
}

// Renders in blocks, split at every parameter write; each MIDI message goes with the block that
// holds its frame (an offset of d falls due d - 1 frames into the block).
Stereo renderWithEvents(APlugin& fx, const Stereo& in, std::size_t block,
                        const std::vector<RenderEvent>& events, float rate) {
    Stereo out{Signal(in.left.size()), Signal(in.left.size())};
    Signal inL = in.left, inR = in.right;
    auto frameOf = [rate](const RenderEvent& e) {
        return static_cast<std::size_t>(e.at * static_cast<double>(rate));
    };
    std::size_t next = 0;  // the first event not yet applied
    for (std::size_t pos = 0; pos < inL.size();) {
        std::size_t n = std::min(block, inL.size() - pos);
        for (; next < events.size() && frameOf(events[next]) <= pos; ++next)
            if (events[next].write) events[next].write(fx);
        std::vector<MidiMessage> midi;
        for (std::size_t k = next; k < events.size(); ++k) {
            const std::size_t f = frameOf(events[k]);
            if (f >= pos + n) break;
            if (events[k].write) {
                n = f - pos;  // the write lands between this call and the next
                break;
            }
            midi.push_back({static_cast<int32_t>(f - pos + 1), events[k].midi.status, events[k].midi.data1,
                            events[k].midi.data2});
        }
        next += midi.size();
        if (!midi.empty()) sendMidi(fx, midi);
        float* i[2] = {inL.data() + pos, inR.data() + pos};
        float* o[2] = {out.left.data() + pos, out.right.data() + pos};
        fx.processReplacing(i, o, static_cast<int>(n));
        pos += n;
    }
    return out;
}

std::string keyOf(const RenderCase& c, const RenderSetting& s) {
    return c.name + " " + std::to_string(static_cast<int>(s.rate)) + " " + std::to_string(s.block);
}

std::map<std::string, std::string> readReference() {
    std::map<std::string, std::string> reference;
    std::ifstream file(TARNWELL_RENDER_REFERENCE);
    std::string line;
    while (std::getline(file, line)) {
        const auto split = line.rfind(' ');
        if (!line.empty() && line[0] != '#' && split != std::string::npos)
            reference[line.substr(0, split)] = line.substr(split + 1);
    }
    return reference;
}

// With TARNWELL_WRITE_RENDER_REFERENCE set the hashes are written, not compared.
bool writing() {
    return std::getenv("TARNWELL_WRITE_RENDER_REFERENCE") != nullptr;
}

std::map<std::string, std::string>& written() {
    static std::map<std::string, std::string> hashes;
    return hashes;
}

class ReferenceWriter : public ::testing::Environment {
    void TearDown() override {
        if (!writing() || written().empty()) return;
        std::map<std::string, std::string> all = readReference();
        for (const auto& [key, hash] : written()) all[key] = hash;
        std::ofstream file(TARNWELL_RENDER_REFERENCE);
        file << "# case rate block: FNV-1a of the rendered output (scripts/render-reference)\n";
        for (const auto& [key, hash] : all) file << key << ' ' << hash << '\n';
    }
};
const auto* const writer = ::testing::AddGlobalTestEnvironment(new ReferenceWriter);

class RenderIdentity : public EngineFixture, public ::testing::WithParamInterface<RenderCase> {};

TEST_P(RenderIdentity, MatchesTheReferenceBitForBit) {
    const RenderCase& c = GetParam();
    const auto reference = readReference();
    setTransport(true, 120.0);
    std::map<float, std::string> atRate;  // the first block size's hash at each rate
    for (const RenderSetting& s : SETTINGS) {
        std::unique_ptr<APlugin> fx;
        if (c.preset >= 0) {
            APlugin::RandSeed = 1;
            DspRandom::setSeed(1);
            fx = make();
            fx->setSampleRate(s.rate);
            fx->setDemoProgram(c.preset);
        } else {
            fx = makeNeutral(3, c.patch, 1, s.rate);
        }
        const Stereo in =
            testSignal(s.rate, static_cast<std::size_t>(s.seconds * static_cast<double>(s.rate)));
        const Stereo out = renderWithEvents(*fx, in, static_cast<std::size_t>(s.block), c.events, s.rate);
        char hash[24];
        std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(hashOf(out)));
        const std::string key = keyOf(c, s);
        // Block edges fall between frames: no block size may change a sample.
        if (!atRate.emplace(s.rate, hash).second) {
            EXPECT_EQ(atRate[s.rate], hash) << key << ": the block size changed the output";
        }
        if (writing()) {
            written()[key] = hash;
            continue;
        }
        const auto it = reference.find(key);
        ASSERT_NE(it, reference.end()) << key << " has no reference: run scripts/render-reference";
        EXPECT_EQ(it->second, hash) << key << " renders differently";
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, RenderIdentity, ::testing::ValuesIn(renderCases()),
                         [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace tarnwell::test
