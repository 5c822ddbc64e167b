// Editing commands: the Block and modulation undo, the Block, gater and XY-path commands of
// the editor's menus, and the modulation slot commands.

#include "effect/APlugin.h"
#include "effect/MenuCommands.h"

#include "framework/platform/Dialogs.h"
#include "framework/platform/Preferences.h"
#include "framework/platform/StringHelpers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr float PI = 3.14159f;
constexpr float TWO_PI = 2.0f * PI;
constexpr int POINTS = XY_PATH_POINTS;
constexpr int STEPS = GATER_STEPS_PER_SIDE;

// A number typed into a prompt whose buffer starts as the default shown: only digits, signs and
// points are kept, and the number read from the start of what is left; a cancelled prompt, or
// no number, reads as 0.
double promptNumber(const char* prompt, const char* title, const char* shown) {
    char answer[PATH_BUFFER_SIZE];
    std::snprintf(answer, sizeof answer, "%s", shown);
    inputBox(prompt, title, answer);
    stripAllButNum(answer);
    const double v = std::strtod(answer, nullptr);
    return std::isfinite(v) ? v : 0.0;
}

// The same for whole numbers, as the standard reading cuts them.
int promptWhole(const char* prompt, const char* title, const char* shown) {
    const double v = std::trunc(promptNumber(prompt, title, shown));
    return static_cast<int>(std::clamp(v, -1e9, 1e9));
}

float phasePrompt() {
    return static_cast<float>(
        std::clamp(promptNumber("Phase Offset (0-360)", "Phase", "0") / 360.0, 0.0, 1.0));
}

}  // namespace

// ----------------------------------------------------------------------------- undo

void APlugin::setBlockUndo() {
    for (const auto& row : BLOCK_TAGS)
        for (int32_t index : row) blockUndo[index] = getParameter(index);
    blockUndoTaken = true;
}

void APlugin::doUndoBlock() {
    if (!blockUndoTaken) return;
    for (const auto& row : BLOCK_TAGS)
        for (int32_t index : row) setParameter(index, blockUndo[index]);
}

void APlugin::setModUndo() {
    for (int k = 0; k < MOD_PARAMETER_COUNT; ++k) modUndo[k] = getParameter(MOD_PARAMETERS[k]);
    modUndoTaken = true;
}

void APlugin::doModUndo() {
    if (!modUndoTaken) return;
    for (int k = 0; k < MOD_PARAMETER_COUNT; ++k) setParameter(MOD_PARAMETERS[k], modUndo[k]);
}

void APlugin::setModVariables(int slot, bool bypass, float amount, int source, int destination) {
    if (slot < 0 || slot >= MOD_SLOT_COUNT) return;
    setParameter(MOD_BYPASS_TAG[slot], bypass ? 1.0f : 0.0f);
    setParameter(MOD_AMOUNT_TAG[slot], amount);
    if (source != -1)
        setParameter(MOD_SOURCE_TAG[slot],
                     (static_cast<float>(source) + 0.1f) / slotInfo(MOD_SOURCE_TAG[slot]).scale);
    setParameter(MOD_DESTINATION_TAG[slot],
                 (static_cast<float>(destination) + 0.1f) / slotInfo(MOD_DESTINATION_TAG[slot]).scale);
}

// ----------------------------------------------------------------------------- Block commands

void APlugin::doBlockCommand(int command, int block, int target, int side) {
    if (!isBlock(block)) return;
    const auto& row = BLOCK_TAGS[block];
    const bool hasTarget = isBlock(target);
    const auto& targetRow = BLOCK_TAGS[hasTarget ? target : block];
    const bool hasSide = side == 0 || side == 1;
    const int32_t sideStart = GATER_TAG[block][hasSide ? side : 0];
    const int32_t otherStart = GATER_TAG[block][hasSide ? 1 - side : 1];

    // The values before the command.
    float oldX[POINTS], oldY[POINTS], oldSteps[STEPS] = {};
    for (int i = 0; i < POINTS; ++i) getXYValues(block, i, oldX[i], oldY[i]);
    if (hasSide)
        for (int k = 0; k < STEPS; ++k) oldSteps[k] = getParameter(sideStart + k);

    if (command == BLOCK_UNDO) {
        doUndoBlock();
        return;
    }
    setBlockUndo();
    if (command < XY_EDIT_OFF || command > LAST_BLOCK_COMMAND) return;

    auto toDefaults = [&](int first, int last) {
        for (int e = first; e <= last; ++e) setDefaultValue(row[e]);
    };
    auto copyEntries = [&](int first, int last) {
        if (!hasTarget) return;
        for (int e = first; e <= last; ++e) copyParameter(row[e], targetRow[e]);
    };
    auto swapEntries = [&](int first, int last) {
        if (!hasTarget) return;
        for (int e = first; e <= last; ++e) swapParameter(row[e], targetRow[e]);
    };
    auto setSide = [&](int32_t start, float v) {
        for (int k = 0; k < STEPS; ++k) setParameter(start + k, v);
    };
    auto setSideFrom = [&](auto stepValue) {
        if (!hasSide) return;
        for (int k = 0; k < STEPS; ++k) setParameter(sideStart + k, stepValue(k));
    };
    // Every point from its old coordinates.
    auto mapPoints = [&](auto point) {
        for (int i = 0; i < POINTS; ++i) {
            const auto [x, y] = point(oldX[i], oldY[i], i);
            setXY(block, i, x, y);
        }
    };
    // Points 0..n for point step k (lines stop at point 32 - k).
    const int n = POINTS - XY_POINT_STEP[xyPointQuantRow(getParameter(XY_POINT_QUANT_TAG[block]))];
    const auto nf = static_cast<float>(n);

    switch (command) {
        case XY_EDIT_OFF:
            setParameter(XY_EDIT_TAG[block], 0.0f);
            break;
        case XY_EDIT_ON:
            setParameter(XY_EDIT_TAG[block], 1.0f);
            break;
        case XY_RESET_ALL:
        case XY_RESET:
            toDefaults(command == XY_RESET_ALL ? BLOCK_XY_AMOUNT_FIRST : BLOCK_XY_FIRST, BLOCK_TAG_COUNT - 1);
            setUpdateXY(block, true);
            break;
        case XY_COPY:
            copyEntries(BLOCK_XY_FIRST, BLOCK_TAG_COUNT - 1);
            break;
        case XY_SWAP:
            swapEntries(BLOCK_XY_FIRST, BLOCK_TAG_COUNT - 1);
            break;
        case XY_CIRCLE:
            for (int i = 0; i < POINTS; ++i) {
                const float theta = TWO_PI * static_cast<float>(i) / 32.0f;
                setXY(block, i, 0.5f + 0.5f * std::sin(theta), 0.5f + 0.5f * std::cos(theta));
            }
            break;
        case XY_SQUARE:
            for (int i = 0; i < POINTS; ++i) {
                const int side8 = i / 8;
                const float t = static_cast<float>(i % 8) / 8.0f;
                const float x[4] = {0.0f, t, 1.0f, 1.0f - t};
                const float y[4] = {t, 1.0f, 1.0f - t, 0.0f};
                setXY(block, i, x[side8], y[side8]);
            }
            break;
        case XY_HORIZONTAL:
            for (int i = 0; i <= n; ++i) setXY(block, i, static_cast<float>(i) / nf, 0.5f);
            break;
        case XY_VERTICAL:
            for (int i = 0; i <= n; ++i) setXY(block, i, 0.5f, static_cast<float>(i) / nf);
            break;
        case XY_DIAGONAL: {
            const int a = promptWhole("Angle to rotate (0 to 360 deg)", "XY Diagonal Line", "45");
            const float theta = TWO_PI * static_cast<float>(a) / 360.0f;
            const float c = std::cos(theta), s = std::sin(theta);
            const float m = std::max(std::fabs(s), std::fabs(c));
            for (int i = 0; i <= n; ++i) {
                const float u = 2.0f * static_cast<float>(i) / nf - 1.0f;
                setXY(block, i, 0.5f + 0.5f * u * c / m, 0.5f + 0.5f * u * s / m);
            }
            break;
        }
        case XY_SPIRAL_IN:
        case XY_SPIRAL_OUT: {
            const auto turns = static_cast<float>(
                std::clamp(promptNumber("Turns of Spiral", "XY Spiral", "4.0"), -1000.0, 1000.0));
            for (int i = 0; i < POINTS; ++i) {
                const float f = static_cast<float>(i) / 32.0f;
                const float theta = TWO_PI * turns * f;
                const float r = (command == XY_SPIRAL_IN ? 1.0f - f : f) / 2.0f;
                setXY(block, i, 0.5f + r * std::sin(theta), 0.5f + r * std::cos(theta));
            }
            break;
        }
        case XY_SINE: {
            const float phi = phasePrompt();
            for (int i = 0; i < POINTS; ++i) {
                const float x = static_cast<float>(i) / 31.0f;
                setXY(block, i, x, 0.5f + 0.5f * std::sin(TWO_PI * (phi + x)));
            }
            break;
        }
        case XY_SQUARE_WAVE: {
            const float phi = phasePrompt();
            for (int i = 0; i < POINTS; ++i) {
                const float f = static_cast<float>(i) / 32.0f + phi;
                const float g = f - std::floor(f);
                setXY(block, i, g, g < 0.5f ? 0.0f : 1.0f);
            }
            break;
        }
        case XY_SAW_UP:
        case XY_SAW_DOWN: {
            const float phi = phasePrompt();
            for (int i = 0; i < POINTS; ++i) {
                const float x = static_cast<float>(i) / 32.0f;
                const float f = phi + x;
                const float up = f - std::trunc(f);
                setXY(block, i, x, command == XY_SAW_UP ? up : 1.0f - up);
            }
            break;
        }
        case XY_TRIANGLE: {
            const float phi = phasePrompt();
            for (int i = 0; i < POINTS; ++i) {
                const float x = static_cast<float>(i) / 31.0f;
                const float f = phi + x;
                const float g = f - std::trunc(f);
                setXY(block, i, x, 1.0f - std::fabs(2.0f * g - 1.0f));
            }
            break;
        }
        case XY_REVERSE:
            for (int i = 0; i < POINTS; ++i) setXY(block, i, oldX[POINTS - 1 - i], oldY[POINTS - 1 - i]);
            break;
        case XY_FLIP_Y:
            mapPoints([](float x, float y, int) { return std::pair{x, 1.0f - y}; });
            break;
        case XY_FLIP_X:
            mapPoints([](float x, float y, int) { return std::pair{1.0f - x, y}; });
            break;
        case XY_ROTATE: {
            const double degrees = promptNumber("Angle to rotate (0 to 360 deg)", "XY Rotation", "0");
            const float theta =
                std::clamp(TWO_PI * static_cast<float>(degrees) / 360.0f, -31.415924f, 31.415924f);
            // In double, so that no turn gives back exactly the points it was given.
            const double c = std::cos(theta), s = std::sin(theta);
            mapPoints([&](float x, float y, int) {
                const double dx = static_cast<double>(x) - 0.5, dy = static_cast<double>(y) - 0.5;
                return std::pair{static_cast<float>(0.5 + dx * c - dy * s),
                                 static_cast<float>(0.5 + dx * s + dy * c)};
            });
            break;
        }
        case XY_GRID: {
            const int g = promptWhole("Grid size (0 for no grid)", "XY Grid", "0");
            if (g < 1 || g > 128) break;
            const auto G = static_cast<float>(g + 1);
            auto snap = [G](float v) {
                const float sign = v > 0.0f ? 1.0f : v < 0.0f ? -1.0f : 0.0f;
                return std::trunc(v * G + 0.5f * sign) / G;
            };
            mapPoints([&](float x, float y, int) { return std::pair{snap(x), snap(y)}; });
            break;
        }
        case XY_SMOOTH:
            mapPoints([&](float, float, int i) {
                const int a = std::max(i - 1, 0), b = std::min(i + 1, POINTS - 1);
                return std::pair{(oldX[a] + oldX[b]) * 0.5f, (oldY[a] + oldY[b]) * 0.5f};
            });
            break;
        case XY_SCALE:
        case XY_CENTRAL_SCALE: {
            const bool central = command == XY_CENTRAL_SCALE;
            const double p = promptWhole(central ? "Central Scale amount in %" : "Scale amount in %",
                                         "XY Scaling", "100") /
                             100.0;
            const double centre = central ? 0.5 : 0.0;  // in double: 100 % leaves every point as it is
            mapPoints([&](float x, float y, int) {
                auto scaled = [&](float v) {
                    return static_cast<float>(centre + (static_cast<double>(v) - centre) * p);
                };
                return std::pair{scaled(x), scaled(y)};
            });
            break;
        }
        case XY_LOAD:
            if (loadXY(block)) stopXYReplay(block);
            break;
        case XY_SAVE:
            saveXY(block);
            break;
        case XY_LEARN_X:
            setMidiLatch(XY_MIDI_X_TAG[block], true);
            break;
        case XY_LEARN_Y:
            setMidiLatch(XY_MIDI_Y_TAG[block], true);
            break;
        case XY_CC_X:
            setMidiCCNum(XY_MIDI_X_TAG[block]);
            break;
        case XY_CC_Y:
            setMidiCCNum(XY_MIDI_Y_TAG[block]);
            break;
        case XY_UNBIND:
            for (int cc = 0; cc < MidiCCMap::CONTROLLERS; ++cc) {
                const int param = midiMap.ccToParam[cc];
                if (param != XY_MIDI_X_TAG[block] && param != XY_MIDI_Y_TAG[block]) continue;
                midiMap.ccToParam[cc] = 0;
                setMidiCC(cc, 0);
            }
            break;

        case BLOCK_RESET:
            toDefaults(0, BLOCK_TAG_COUNT - 1);
            setUpdateXY(block, true);
            break;
        case BLOCK_COPY:
            copyEntries(0, BLOCK_TAG_COUNT - 1);
            break;
        case BLOCK_SWAP:
            swapEntries(0, BLOCK_TAG_COUNT - 1);
            break;
        case BLOCK_LOAD:
            if (!loadBlock(block)) break;
            resetEverything();
            resetXYS();
            break;
        case BLOCK_SAVE:
            saveBlock(block);
            break;

        case GATER_RESET:
            toDefaults(BLOCK_GATER_FIRST, BLOCK_GATER_LAST);
            break;
        case GATER_ALL_ON:
        case GATER_ALL_OFF:
            for (int k = 0; k < STEPS; ++k) {
                setParameter(GATER_TAG[block][0] + k, command == GATER_ALL_ON ? 1.0f : 0.0f);
                setParameter(GATER_TAG[block][1] + k, command == GATER_ALL_ON ? 1.0f : 0.0f);
            }
            break;
        case GATER_SIDE_ON:
            if (hasSide) setSide(sideStart, 1.0f);
            break;
        case GATER_SIDE_OFF:
            if (hasSide) setSide(sideStart, 0.0f);
            break;
        case GATER_COPY_SIDE:
            if (hasSide)
                for (int k = 0; k < STEPS; ++k) setParameter(otherStart + k, oldSteps[k]);
            break;
        case GATER_SWAP_SIDES:
            if (hasSide)
                for (int k = 0; k < STEPS; ++k) swapParameter(sideStart + k, otherStart + k);
            break;
        case GATER_COPY:
            copyEntries(BLOCK_GATER_FIRST, BLOCK_GATER_LAST);
            break;
        case GATER_SWAP:
            swapEntries(BLOCK_GATER_FIRST, BLOCK_GATER_LAST);
            break;
        case GATER_INVERT:
            setSideFrom([&](int k) { return 1.0f - oldSteps[k]; });
            break;
        case GATER_REVERSE:
            setSideFrom([&](int k) { return oldSteps[STEPS - 1 - k]; });
            break;
        case GATER_FORWARD:
            setSideFrom([&](int k) { return oldSteps[(k + STEPS - 1) % STEPS]; });
            break;
        case GATER_BACKWARD:
            setSideFrom([&](int k) { return oldSteps[(k + 1) % STEPS]; });
            break;
        default:
            break;  // unassigned: the snapshot alone
    }
    if (command >= XY_CIRCLE && command <= XY_TRIANGLE) setZeroTime(block);
}

// ----------------------------------------------------------------------------- modulation commands

void APlugin::doModCommand(int command, int slot) {
    if (command == MOD_UNDO) {
        doModUndo();
        return;
    }
    setModUndo();
    const bool hasSlot = slot >= 0 && slot < MOD_SLOT_COUNT;
    // A slot's parameters in the slot clipboard's order.
    const int32_t slotParams[4] = {MOD_BYPASS_TAG[hasSlot ? slot : 0], MOD_SOURCE_TAG[hasSlot ? slot : 0],
                                   MOD_DESTINATION_TAG[hasSlot ? slot : 0],
                                   MOD_AMOUNT_TAG[hasSlot ? slot : 0]};
    switch (command) {
        case MOD_COPY:
            for (int k = 0; k < MOD_PARAMETER_COUNT; ++k) modClipboard[k] = getParameter(MOD_PARAMETERS[k]);
            modClipboardFilled = true;
            break;
        case MOD_PASTE:
            if (!modClipboardFilled) break;
            for (int k = 0; k < MOD_PARAMETER_COUNT; ++k) setParameter(MOD_PARAMETERS[k], modClipboard[k]);
            break;
        case MOD_CLEAR:
            for (int32_t p : MOD_PARAMETERS) setDefaultValue(p);
            break;
        case MOD_RESET_AMOUNTS:
            for (int32_t p : MOD_AMOUNT_TAG) setDefaultValue(p);
            break;
        case MOD_BYPASS_ALL:
        case MOD_UNBYPASS_ALL:
            for (int32_t p : MOD_BYPASS_TAG) setParameter(p, command == MOD_BYPASS_ALL ? 1.0f : 0.0f);
            break;
        case SLOT_COPY:
            if (hasSlot)
                for (int k = 0; k < 4; ++k) slotClipboard[k] = getParameter(slotParams[k]);
            break;
        case SLOT_PASTE:
            if (hasSlot)
                for (int k = 0; k < 4; ++k) setParameter(slotParams[k], slotClipboard[k]);
            break;
        case SLOT_SWAP_NEXT:
            if (hasSlot && slot + 1 < MOD_SLOT_COUNT) {
                swapParameter(MOD_BYPASS_TAG[slot], MOD_BYPASS_TAG[slot + 1]);
                swapParameter(MOD_SOURCE_TAG[slot], MOD_SOURCE_TAG[slot + 1]);
                swapParameter(MOD_DESTINATION_TAG[slot], MOD_DESTINATION_TAG[slot + 1]);
                swapParameter(MOD_AMOUNT_TAG[slot], MOD_AMOUNT_TAG[slot + 1]);
            }
            break;
        case SLOT_CLEAR:
            if (hasSlot)
                for (int32_t p : slotParams) setDefaultValue(p);
            break;
        case SLOT_RESET_AMOUNT:
            if (hasSlot) setDefaultValue(MOD_AMOUNT_TAG[slot]);
            break;
        case SLOT_BYPASS:
        case SLOT_UNBYPASS:
            if (hasSlot) setParameter(MOD_BYPASS_TAG[slot], command == SLOT_BYPASS ? 1.0f : 0.0f);
            break;
        case MOD_LOAD:
            loadMod();
            break;
        case MOD_SAVE:
            saveMod();
            break;
        default:
            break;  // 0, 12 and unassigned ids: the snapshot alone
    }
}
