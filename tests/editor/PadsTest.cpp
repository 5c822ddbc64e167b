// The gater grids and the XY pads offscreen on the real artwork: what they draw at each size,
// what clicks and drags do to the effect, and the engine rendering on its own thread meanwhile.

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "editor/controls/EditorStyle.h"
#include "editor/controls/TGater.h"
#include "editor/controls/TXYDisplay.h"
#include "effect/FactoryBank.h"
#include "tests/editor/EditorHarness.h"

using namespace tarnwell::test;
using namespace layout;

namespace {

void render(APlugin& fx, int frames) {
    static std::array<float, 256> inL{}, inR{}, outL{}, outR{};
    for (int done = 0; done < frames; done += 256) {
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        fx.processReplacing(in, out, std::min(256, frames - done));
    }
}

bool same(const CColor& a, const CColor& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

int brightness(const CColor& c) {
    return c.red + c.green + c.blue;
}

struct Pads : EditorHarness {
    explicit Pads(int size = 0) : EditorHarness(size) { openMain(); }
    TGater& grid(int b, int side) { return *static_cast<TGater*>(ctl().gater[b][side]); }
    TXYDisplay& pad(int b) { return *static_cast<TXYDisplay*>(ctl().xyDisplay[b]); }
    static CPoint inFrame(const CView& view, CPoint p) { return view.localToFrame(p); }
    CPoint padPixel(int b, float x, float y) {
        const CRect& r = pad(b).getViewSize();
        const float w = static_cast<float>(r.getWidth() - 1);
        return inFrame(pad(b), CPoint(r.left + static_cast<CCoord>(std::lround(x * w)),
                                      r.top + static_cast<CCoord>(std::lround((1 - y) * w))));
    }
    CColor shown(CPoint framePoint) {
        editor->getFrame()->doIdleStuff();
        return parent.pixel(framePoint.x, framePoint.y);
    }
    std::pair<float, float> point(int b, int i) {
        float x = 0, y = 0;
        fx->getXYValues(b, i, x, y);
        return {x, y};
    }
    // A 1 s path in point-edit mode, edit switch on.
    void editPath(int b, const std::function<std::pair<float, float>(int)>& at) {
        for (int i = 0; i < TXYDisplay::POINTS; ++i) fx->setXY(b, i, at(i).first, at(i).second);
        fx->setParameter(XY_LEN_SEC_TAG[b], 0.001f);
        fx->setParameter(XY_EDIT_TAG[b], 1.0f);
        fx->setParameter(XY_RECORD_MODE_TAG[b], choice(2, 2.99f));
    }
};

}  // namespace

TEST(PadsAndGrids, GaterClicksAndLiveDragsChangeWhatIsDrawnAtEverySize) {
    for (int size = 0; size < SIZE_COUNT; ++size) {
        SCOPED_TRACE(size);
        Pads h(size);
        const int b = 1;
        h.fx->setParameter(BLOCK_TYPE_TAG[b], choice(5, 6.99f));
        h.fx->setParameter(GATER_STEPS_TAG[b], choice(3, 15.0f));  // four cells drawn
        for (int i = 0; i < 16; ++i) h.fx->setParameter(GATER_TAG[b][1] + i, 0.0f);
        h.idle();
        TGater& row = h.grid(b, 1);
        const CCoord top = row.getViewSize().top, cellH = scaled(10, GUI_SCALES[size]);
        auto at = [&](int cell, CCoord y) { return Pads::inFrame(row, CPoint(row.cellLeft(cell) + 3, y)); };
        for (int i : {0, 2, 9, 15}) h.parent.click(at(i, top + 2));  // hidden cells toggle too
        h.parent.click(at(3, top + 2), kRButton);                    // the gater menu's, no toggle
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(h.fx->getGaterValue(b, 1, i), (i == 0 || i == 2 || i == 9 || i == 15) ? 1.0f : 0.0f)
                << i;
            EXPECT_EQ(h.fx->getGaterValue(b, 0, i), h.fx->getDefaultValue(GATER_TAG[b][0] + i)) << i;
        }
        EXPECT_EQ(row.cellAt(row.getViewSize().right + 30), 15);
        EXPECT_TRUE(same(h.shown(at(0, top + 2)), GATER_ON_COLOR));
        EXPECT_TRUE(same(h.shown(at(1, top + cellH - 1)), GATER_OFF_COLOR));  // 10 units high ...
        EXPECT_TRUE(same(h.shown(at(1, top + cellH)), GATER_GRID_COLOR));     // ... and closed
        const CColor hidden = h.shown(at(9, top + 2));
        EXPECT_FALSE(same(hidden, GATER_ON_COLOR) || same(hidden, GATER_OFF_COLOR));
        // The first and the last pixel inside each cell's outline toggle that cell.
        for (int i = 0; i < 16; ++i)
            for (CCoord x : {row.cellLeft(i) + 1, row.cellLeft(i + 1) - 1}) {
                const float before = h.fx->getGaterValue(b, 1, i);
                h.parent.click(Pads::inFrame(row, CPoint(x, top + 2)));
                EXPECT_NE(h.fx->getGaterValue(b, 1, i), before)
                    << "cell " << i << " at x " << x - row.cellLeft(i);
            }

        h.parent.mouseDown(h.padPixel(b, 0.2f, 0.9f));
        h.parent.mouseMoved(h.padPixel(b, 0.75f, 0.25f));
        EXPECT_NEAR(h.fx->getParameter(XY_LAST_X_TAG[b]), 0.75f, 0.003f);
        EXPECT_NEAR(h.fx->getParameter(XY_LAST_Y_TAG[b]), 0.25f, 0.003f);
        EXPECT_GT(brightness(h.shown(h.padPixel(b, 0.75f, 0.25f))), 300);  // the cursor's centre
        h.parent.mouseUp(h.padPixel(b, 0.75f, 0.25f));
        h.parent.click(h.padPixel(b, 0.5f, 0.5f), kLButton | kDoubleClick);  // to the corner
        EXPECT_EQ(h.fx->getParameter(XY_LAST_X_TAG[b]) + h.fx->getParameter(XY_LAST_Y_TAG[b]), 0.0f);
        EXPECT_LT(brightness(h.shown(h.padPixel(b, 0.75f, 0.25f))), 150);
    }
}

TEST(XYPad, ARecordedGestureBecomesThePathTheEngineReplaysAlsoAfterAStateSaveAndLoad) {
    Pads h(1);
    const int b = 0;
    h.fx->setParameter(XY_SMOOTH_TAG[b], 0.0f);
    h.click(h.ctl().xyRecordRadio[b][1]);
    // A straight stroke from (0.1, 0.2) to (0.9, 0.7), one move every 10 ms.
    auto stroke = [&](float t) { return h.padPixel(b, 0.1f + 0.8f * t, 0.2f + 0.5f * t); };
    const int moves = 40;
    h.parent.mouseDown(stroke(0));
    for (int j = 1; j <= moves; ++j) {
        render(*h.fx, 441);
        h.parent.mouseMoved(stroke(static_cast<float>(j) / moves));
    }
    h.parent.mouseUp(stroke(1));
    EXPECT_NEAR(h.fx->getXYPathTime(b), moves * 0.01f, 0.002f);
    for (int i = 0; i < TXYDisplay::POINTS; ++i) {  // point i: where the pen was at i/32 of the time
        EXPECT_NEAR(h.point(b, i).first, 0.1f + 0.8f * i / 32.0f, 0.8f / moves + 0.01f) << i;
        EXPECT_NEAR(h.point(b, i).second, 0.2f + 0.5f * i / 32.0f, 0.5f / moves + 0.01f) << i;
    }

    // Replayed, the position stays on the stroke drawn.
    h.click(h.ctl().xyRecordRadio[b][2]);
    const APluginProgram saved = h.fx->programs[0];  // what the component's saved state holds
    for (int block = 0; block < 60; ++block) {
        render(*h.fx, 256);
        float x = 0, y = 0;
        h.fx->getXYEditor(b, x, y);
        EXPECT_NEAR(y, 0.2f + 0.5f * (x - 0.1f) / 0.8f, 0.01f) << block;
        EXPECT_TRUE(x > 0.09f && x < 0.91f) << block;
    }

    h.editor->close();
    auto restored = std::make_unique<APlugin>(RecordingHost::callback());
    restored->programs[0] = saved;
    restored->setProgram(0);
    h.fx->setParameter(XY_RECORD_MODE_TAG[b], choice(0, 2.99f));  // replay again from the start
    render(*h.fx, 256);
    h.fx->setParameter(XY_RECORD_MODE_TAG[b], choice(2, 2.99f));
    for (int block = 0; block < 60; ++block) {
        render(*h.fx, 256);
        render(*restored, 256);
        float ox = 0, oy = 0, rx = 0, ry = 0;
        h.fx->getXYEditor(b, ox, oy);
        restored->getXYEditor(b, rx, ry);
        ASSERT_EQ(std::pair(rx, ry), std::pair(ox, oy)) << block;
    }
}

TEST(XYPad, PointEditsMoveTheNearestShownPointWithItsGroupOnTheGridShown) {
    for (int grouping = 0; grouping < 3; ++grouping) {
        SCOPED_TRACE(grouping);
        Pads h(2);
        const int b = 1;
        h.editPath(b, [](int i) { return std::pair{i / 31.0f, 0.5f}; });
        h.editor->xyGrouping = grouping;
        h.parent.mouseDown(h.padPixel(b, 8.3f / 31.0f, 0.45f));
        EXPECT_EQ(h.pad(b).getSelectedPoint(), 8);
        h.parent.mouseMoved(h.padPixel(b, 0.3f, 0.9f));
        h.parent.mouseUp(h.padPixel(b, 0.3f, 0.9f));
        const int g = TXYDisplay::GROUP_NO[grouping];
        for (int i = 0; i < TXYDisplay::POINTS; ++i) {
            const int j = std::abs(i - 8);  // neighbours keep (j / g)^2 of their offset
            const float keep =
                grouping == 0 ? (j == 0 ? 0.0f : 1.0f) : std::min(1.0f, float(j * j) / float(g * g));
            EXPECT_NEAR(h.point(b, i).first, i / 31.0f * keep + 0.3f * (1 - keep), 0.006f) << i;
            EXPECT_NEAR(h.point(b, i).second, 0.5f * keep + 0.9f * (1 - keep), 0.006f) << i;
        }
        h.fx->doUndoBlock();  // the snapshot taken at the press
        EXPECT_FLOAT_EQ(h.point(b, 8).second, 0.5f);
    }

    Pads h;
    const int b = 0;
    h.editPath(b, [](int i) { return std::pair{0.05f + i * 0.028f, 0.6f}; });
    h.fx->setParameter(XY_POINT_QUANT_TAG[b], choice(3, 4.99f));  // 4 points: 0, 8, 16, 24
    h.fx->setParameter(XY_SPACE_QUANT_TAG[b], choice(4, 4.99f));  // a 4 x 4 grid
    h.idle();
    TXYDisplay& pad = h.pad(b);
    const CRect& r = pad.getViewSize();
    for (int i : {0, 8, 16, 24}) {
        int px = 0, py = 0;
        pad.getXYPoint(i, px, py);
        EXPECT_EQ(px, r.left + (r.getWidth() - 1) * std::lround(h.point(b, i).first * 4) / 4) << i;
        EXPECT_EQ(py, r.top + (r.getHeight() - 1) * 2 / 4) << i;  // 0.6 shown at 0.5
        EXPECT_TRUE(same(h.shown(Pads::inFrame(pad, CPoint(px, r.top + 3))), DARK_TURQUOISE_COLOR)) << i;
    }
    int px = 0, py = 0;
    pad.getXYPoint(13, px, py);  // not editable: a press where it shows takes 16, shown there too
    h.parent.mouseDown(Pads::inFrame(pad, CPoint(px, py)));
    EXPECT_EQ(pad.getSelectedPoint(), 16);
    h.parent.mouseUp(Pads::inFrame(pad, CPoint(px, py)));
    h.fx->setParameter(XY_EDIT_TAG[b], 0.0f);  // edit switch off: presses do nothing
    h.parent.click(h.padPixel(b, 0.9f, 0.9f));
    EXPECT_FLOAT_EQ(h.point(b, 24).second, 0.6f);
}

// On a circle, points share their X with the point across: a press takes the nearest point by
// its distance in X and Y together.
TEST(XYPad, APressTakesTheNearestPointOfAPathThatTurns) {
    Pads h;
    const int b = 2;
    const auto circle = [](int i) {
        const float a = 6.2831853f * static_cast<float>(i) / 32.0f;
        return std::pair{0.5f + 0.4f * std::cos(a), 0.5f + 0.4f * std::sin(a)};
    };
    h.editPath(b, circle);
    h.editor->xyGrouping = 0;
    for (int i : {0, 5, 8, 13, 16, 20, 24, 29}) {
        const auto [x, y] = circle(i);
        const CPoint press =
            h.padPixel(b, 0.5f + 0.95f * (x - 0.5f), 0.5f + 0.95f * (y - 0.5f));  // a little inside
        h.parent.mouseDown(press);
        EXPECT_EQ(h.pad(b).getSelectedPoint(), i);
        h.parent.mouseUp(press);
    }
}

TEST(XYPad, MidiMovementInAnArmedRecordModeRecordsUntilReplay) {
    Pads h;
    const int b = 1;
    const auto mode = [&](int m, int frames) {
        h.fx->setParameter(XY_RECORD_MODE_TAG[b], choice(m, 2.99f));
        render(*h.fx, frames);  // the engine takes the new mode first (it zeroes the MIDI position)
        h.idle();
    };
    const auto armAndMove = [&](float x) {
        mode(1, 256);
        h.fx->setParameter(XY_MIDI_X_TAG[b], x);
        render(*h.fx, 2000);
        h.idle();
        return h.pad(b).isMidiRecording();
    };
    EXPECT_TRUE(armAndMove(0.7f));
    render(*h.fx, 4410);
    mode(2, 0);
    EXPECT_FALSE(h.pad(b).isMidiRecording());
    EXPECT_NEAR(h.fx->getXYPathTime(b), 0.1f, 0.002f);
    EXPECT_FLOAT_EQ(h.point(b, 0).first, 0.7f);
    EXPECT_FLOAT_EQ(h.point(b, 31).first, 0.7f);

    // A take left for live mode is dropped, not resumed over the time spent there.
    ASSERT_TRUE(armAndMove(0.2f));
    for (int m : {0, 1, 2}) mode(m, 4410);
    EXPECT_FALSE(h.pad(b).isMidiRecording());
    EXPECT_NEAR(h.fx->getXYPathTime(b), 0.1f, 0.002f);
    EXPECT_FLOAT_EQ(h.point(b, 31).first, 0.7f);
}

// Under the open editor a replaying pad steps on from what its last full step worked out, also
// after MIDI moves of X, then of Y, that the closed editor left for it to follow: in calls of 37
// frames it moves as in calls of one frame after a write each, where every step is the full one.
TEST(XYPad, UnderTheOpenEditorAReplayStepsAsTheFullStepDoes) {
    const auto replayed = [](bool steady) {
        EditorHarness h;
        APlugin& fx = *h.fx;
        for (int i = 0; i < XY_PATH_POINTS; ++i) fx.setXY(0, i, i / 31.0f, 0.5f);
        fx.setParameter(XY_SYNC_TAG[0], choice(11, 30.99f));  // a quarter bar
        fx.setParameter(XY_SMOOTH_TAG[0], 0.5f);
        fx.setParameter(XY_RECORD_MODE_TAG[0], choice(APlugin::XY_REPLAY, 2.99f));
        std::vector<double> seen;
        const auto run = [&](int frames) {
            std::array<float, 37> in{}, out{};
            float* io[2] = {in.data(), in.data()};
            float* o[2] = {out.data(), out.data()};
            for (int done = 0; done < frames; done += 37) {
                if (steady) {
                    fx.processReplacing(io, o, 37);
                } else {
                    for (int k = 0; k < 37; ++k) {
                        // The same value written again: the next frame reads every setting again.
                        fx.setParameter(XY_SMOOTH_TAG[1], fx.getParameter(XY_SMOOTH_TAG[1]));
                        fx.processReplacing(io, o, 1);
                    }
                }
                seen.push_back(fx.xy[0].position);
                seen.push_back(fx.xy[0].currentX.load());
                seen.push_back(fx.xy[0].currentY.load());
                seen.push_back(fx.modSourceValues[SOURCE_X[0]]);
            }
        };
        for (const int32_t* midi : {XY_MIDI_X_TAG, XY_MIDI_Y_TAG}) {
            run(37 * 30);
            fx.setParameter(midi[0], 0.9f);  // seen, but followed only once the editor opens
            run(37 * 30);
            h.openMain();
            run(37 * 60);
            h.editor->close();
        }
        return seen;
    };
    const std::vector<double> steady = replayed(true);
    EXPECT_GT(steady.back(), 0.0);
    EXPECT_EQ(steady, replayed(false));
}

// Under the open editor calls of 37 frames run quiet as under a closed one, and the output, the
// pad cursor the editor draws and the gater step it shows come out as in calls of one frame
// (which never do), also across a MIDI move of the pad that the open editor follows.
TEST(XYPad, UnderTheOpenEditorQuietRunsKeepWhatTheEditorShows) {
    const auto played = [](int call, int64_t& quietFrames) {
        EditorHarness h;
        h.openMain();
        APlugin& fx = *h.fx;
        const auto named = std::find_if(FACTORY_PRESET_NAMES, FACTORY_PRESET_NAMES + FACTORY_PRESET_COUNT,
                                        [](const char* n) { return std::string(n) == "Dub Siren Chamber"; });
        APlugin::RandSeed = 1;  // the Room's LFOs start where the other render's did
        fx.setDemoProgram(static_cast<int>(named - FACTORY_PRESET_NAMES));  // a replaying Filter pad
        fx.setParameter(BLOCK_TYPE_TAG[1], choice(TYPE_GATER, 6.99f));
        std::vector<double> seen;
        std::array<float, 37> inL{}, inR{}, outL{}, outR{};
        uint32_t seed = 7;
        for (int block = 0; block < 240; ++block) {
            if (block == 120) fx.setParameter(XY_MIDI_X_TAG[0], 0.3f);
            for (std::size_t k = 0; k < inL.size(); ++k) {
                seed = seed * 1664525u + 1013904223u;
                inL[k] = static_cast<float>(seed >> 8) * 0x1p-24f - 0.5f;
                inR[k] = 0.5f * inL[k];
            }
            for (int done = 0; done < 37; done += call) {
                float* in[2] = {inL.data() + done, inR.data() + done};
                float* out[2] = {outL.data() + done, outR.data() + done};
                fx.processReplacing(in, out, call);
            }
            seen.insert(seen.end(), outL.begin(), outL.end());
            seen.insert(seen.end(), outR.begin(), outR.end());
            float x = 0.0f, y = 0.0f;
            fx.getXYEditor(0, x, y);
            seen.insert(seen.end(), {x, y, static_cast<double>(fx.getCurrentGaterSteps(1))});
        }
        quietFrames = fx.quietFramesTaken;
        return seen;
    };
    int64_t quietFrames = 0, singleQuiet = 0;
    const std::vector<double> quiet = played(37, quietFrames), single = played(1, singleQuiet);
    EXPECT_GT(quietFrames, 240 * 37 / 2);
    EXPECT_EQ(singleQuiet, 0);
    std::set<double> steps, cursor;
    for (std::size_t i = 37 * 2; i < quiet.size(); i += 37 * 2 + 3) {
        cursor.insert(quiet[i]);
        steps.insert(quiet[i + 2]);
    }
    EXPECT_GT(cursor.size(), 100u);
    EXPECT_GT(steps.size(), 1u);
    EXPECT_EQ(quiet, single);
}

TEST(PadsAndGrids, ConcurrentRenderMovesThePadsAndStepsTheGridsTheEditorDraws) {
    Pads h(2);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        h.fx->setParameter(BLOCK_TYPE_TAG[b], choice(5, 6.99f));
        for (int i = 0; i < 16; ++i) h.fx->setParameter(GATER_TAG[b][0] + i, 1.0f);
        h.editPath(b, [b](int i) { return std::pair{i / 31.0f, std::fabs(std::sin(i * 0.2f + b))}; });
    }
    TGater& row = h.grid(0, 0);
    auto markedCells = [&] {  // cells with the white playing mark about their middle
        h.idle();
        std::vector<int> cells;
        for (int i = 0; i < 16; ++i) {
            int brightest = 0;
            for (CCoord x = row.cellLeft(i) + 1; x < row.cellLeft(i + 1); ++x)
                for (CCoord y = row.getViewSize().top + 6; y < row.getViewSize().top + 15; ++y)
                    brightest = std::max(brightest, brightness(h.shown(Pads::inFrame(row, CPoint(x, y)))));
            if (brightest > 600) cells.push_back(i);
        }
        return cells;
    };
    std::atomic<bool> done{false};
    std::thread audio([&] {
        while (!done.load()) {
            render(*h.fx, 512);
            h.editor->updateXYDisplay();
        }
    });
    std::set<float> xs;
    std::set<int> steps;
    for (int i = 0; i < 40; ++i) {
        const int64_t before = h.fx->sampleCounter.load();
        while (h.fx->sampleCounter.load() < before + 2048) std::this_thread::yield();
        h.idle();
        float x = 0, y = 0;
        h.fx->getXYEditor(0, x, y);
        xs.insert(x);
        steps.insert(h.editor->gaterStepShown[0]);
    }
    done = true;
    audio.join();
    EXPECT_GT(xs.size(), 20u);
    EXPECT_GT(steps.size(), 3u);
    EXPECT_EQ(markedCells(), std::vector<int>{h.fx->getCurrentGaterSteps(0)});
}
