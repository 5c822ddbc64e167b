// Every factory preset and every shared engine patch, rendered on fixed signals at two rates and
// two block sizes, must give exactly the output recorded in RenderReference.txt, whatever the
// block size: the engine's speed work may change how a frame is computed, never a single bit of
// what it gives.
//
// Regenerate the reference only for a change meant to alter the sound, and say why in the
// commit: scripts/render-reference [BUILD_DIR].

#include "tests/effect/EngineHarness.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace tarnwell::test {
namespace {

struct RenderCase {
    std::string name;
    int preset;  // a factory preset, or -1 for a patch
    std::function<void(APlugin&)> patch;
};

struct RenderSetting {
    float rate;
    int block;
    double seconds;
};

// Both rates, with a large and an odd small block each: the odd size moves every block edge
// across the engine's 4-, 16- and 128-frame control steps.
constexpr RenderSetting SETTINGS[] = {{44100.0f, 512, 0.5}, {44100.0f, 61, 0.5}, {96000.0f, 512, 0.25},
                                      {96000.0f, 61, 0.25}};

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
        add("type" + std::to_string(type), [type](APlugin& e) { setBlocks(e, type % 6, {type, type, type}); });
    // Every filter mode once, three to a chain.
    for (int first = 0; first < 37; first += 3) {
        add("filter" + std::to_string(first), [first](APlugin& e) {
            setBlocks(e, 3, {1, 1, 1});
            for (int b = 0; b < BLOCK_COUNT; ++b) e.setParameter(FILTER_MODE_TAG[b], choice(std::min(first + b, 36), 40.0f));
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
            for (int b = 0; b < BLOCK_COUNT; ++b) e.setParameter(GRAIN_MODE_TAG[b], choice(grainMode + b % 2, 5.99f));
        });
    }
    const int busy[][4] = {{0, 1, 2, 6}, {1, 2, 3, 4}, {2, 3, 4, 5}, {3, 6, 1, 2}, {4, 4, 5, 1}, {5, 5, 6, 3}};
    for (const auto& b : busy) {
        add("busy" + std::to_string(b[0]), [b](APlugin& e) { setBusyPatch(e, b[0], {b[1], b[2], b[3]}); });
    }
    add("replay", [](APlugin& e) {
        setBlocks(e, 3, {1, 2, 3});
        setFourSlots(e);
        for (int b = 0; b < BLOCK_COUNT; ++b) setXYReplay(e, b);
    });
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
        s.left[i] = static_cast<float>(loud * env * (0.6 * std::sin(2.0 * 3.14159265358979 * 220.0 * t) +
                                                     0.3 * std::sin(2.0 * 3.14159265358979 * 1375.0 * t)));
        s.right[i] = static_cast<float>(gate * static_cast<double>(n[i]) * (0.5 + 0.5 * std::sin(2.0 * 3.14159265358979 * 1.7 * t)));
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
        const Stereo in = testSignal(s.rate, static_cast<std::size_t>(s.seconds * static_cast<double>(s.rate)));
        const Stereo out = render(*fx, in.left, in.right, static_cast<std::size_t>(s.block));
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
