// MIDI input: the event pool, the messages that fall due in each frame, and the controller
// map with learning, unbinding and pick-up.

#include "effect/APlugin.h"

#include "framework/platform/Dialogs.h"
#include "framework/platform/Preferences.h"
#include "framework/platform/StringHelpers.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

constexpr int CENTER_KEY = 57;
constexpr float PICK_UP_WINDOW = 0.025f;

// Reset all controllers, local control and all notes off: never learned, never applied.
bool isChannelModeController(int cc) {
    return cc == 120 || cc == 121 || cc == 123;
}

// A parameter a controller can drive: 0 means "none", and a map file holds no more.
bool isBindable(int param) {
    return param > 0 && param <= presetfile::MAPPABLE_PARAMETER_END;
}

// The source a controller feeds, or SOURCE_NONE.
int controllerSource(int cc) {
    if (cc == 1) return SOURCE_MOD_WHEEL;
    if (cc == 2) return SOURCE_BREATH;
    if (cc == 4) return SOURCE_FOOT;
    if (cc == 11) return SOURCE_EXPRESSION;
    if (cc >= 16 && cc <= 21) return SOURCE_CC16 + cc - 16;
    if (cc >= 84 && cc <= 90) return SOURCE_CC84 + cc - 84;
    return SOURCE_NONE;
}

}  // namespace

// ----------------------------------------------------------------------------- render thread

int APlugin::processEvents(VstEvents* events) {
    if (!events) return 1;
    VstEvent* const* list = events->events;  // the sender sizes the list beyond its declared two
    for (int i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = list[i];
        if (!event || event->type != kVstMidiType) continue;
        if (pendingMidiCount >= MIDI_POOL_SIZE) continue;
        int k = 0;
        while (k < MIDI_POOL_SIZE && !(midiPool[k] && midiPool[k]->deltaFrames == MIDI_POOL_FREE)) ++k;
        if (k == MIDI_POOL_SIZE) continue;
        VstMidiEvent& record = *midiPool[k];
        std::memcpy(&record, event, sizeof(VstMidiEvent));
        record.reserved1 = 99;
        // A negative offset would never fall due, and -99 would read as free: such an event
        // falls due at once instead of holding its record for good.
        record.deltaFrames = std::max(record.deltaFrames, 0);
        ++pendingMidiCount;
        midiPoolEnd = std::max(midiPoolEnd, k + 1);
    }
    return 1;
}

void APlugin::processMidi() {
    midiSinceControlStep = true;  // a source may move: the control step works its values out again
    for (int k = 0; k < midiPoolEnd; ++k) {
        VstMidiEvent* record = midiPool[k];
        if (!record) continue;
        if (record->deltaFrames > 0) --record->deltaFrames;
        if (record->deltaFrames != 0) continue;  // later, or free

        if (pendingMidiCount > 0) --pendingMidiCount;
        hostTimeInfo = getTimeInfo(timePpqPosValid | timeTempoValid);
        const int status = static_cast<unsigned char>(record->midiData[0]) & 0xF0;
        const int d1 = record->midiData[1] & 0x7F;
        const int d2 = record->midiData[2] & 0x7F;
        record->deltaFrames = MIDI_POOL_FREE;

        switch (status) {
            case 0x90:
                if (d2 > 0) {
                    const float u1 = nextRandom(), u2 = nextRandom();
                    modSourceValues[SOURCE_NOTE_RANDOM] = 2.0f * u1 - 1.0f;
                    modSourceValues[SOURCE_NOTE_RANDOM + 1] = 2.0f * u2 - 1.0f;
                    modSourceValues[SOURCE_NOTE] = static_cast<float>(d1) / 127.0f;
                    modSourceValues[SOURCE_CENTER_NOTE] = static_cast<float>(d1 - CENTER_KEY) / 12.0f;
                    modSourceValues[SOURCE_VELOCITY] = static_cast<float>(d2) / 127.0f;
                    noteOnFlag = 1;
                    break;
                }
                [[fallthrough]];  // velocity 0 is a note-off
            case 0x80:
                noteOffFlag = 1;
                break;
            case 0xA0:
                modSourceValues[SOURCE_POLY_AFTER] = static_cast<float>(d2) / 127.0f;
                modSourceValues[SOURCE_MOD_AFTER] = modSourceValues[SOURCE_POLY_AFTER];
                break;
            case 0xD0:
                modSourceValues[SOURCE_CHANNEL_AFTER] = static_cast<float>(d1) / 127.0f;
                modSourceValues[SOURCE_MOD_AFTER] = modSourceValues[SOURCE_CHANNEL_AFTER];
                break;
            case 0xB0:
                applyController(d1, static_cast<float>(d2) / 127.0f);
                break;
            default:  // program change, pitch bend and system messages do nothing
                break;
        }
    }
    if (pendingMidiCount == 0) midiPoolEnd = 0;
}

void APlugin::applyController(int cc, float v) {
    if (const int source = controllerSource(cc)) {
        modSourceValues[source] = v;
        if (source == SOURCE_MOD_WHEEL) modSourceValues[SOURCE_MOD_AFTER] = v;
    }
    if (isChannelModeController(cc)) return;

    MidiCCMap& map = midiMap;
    if (map.learnArmed.load(std::memory_order_acquire)) {
        map.learnArmed.store(false, relaxed);
        const int target = map.learnTarget.load();
        if (isBindable(target)) {
            // The binding acts at once; the main thread writes it to the preferences, as a file
            // write here could stall the audio.
            map.ccToParam[cc] = target;
            map.unsaved[cc / 64].fetch_or(uint64_t{1} << (cc % 64), std::memory_order_release);
            map.pickUpValue[target] = getParameter(target);
            map.pickedUp[target] = 0;
        }
    }

    const int param = map.ccToParam[cc].load();
    if (!isBindable(param)) return;
    if (midiCapture && !map.pickedUp[param]) {
        // A binding made before this run (preferences, a map file) has no reference yet: the
        // controller takes over where the parameter stands now.
        if (map.pickUpValue[param] < 0.0f) map.pickUpValue[param] = getParameter(param);
        if (!(std::fabs(v - map.pickUpValue[param]) < PICK_UP_WINDOW)) return;
        map.pickedUp[param] = 1;
    }
    setParameter(param, v);
}

// ----------------------------------------------------------------------------- controller map

void APlugin::setMidiLatch(int param, bool latch) {
    MidiCCMap& map = midiMap;
    if (latch) {
        if (!isBindable(param)) return;
        map.learnTarget = param;
        map.learnArmed.store(true, std::memory_order_release);
        getMidiCapture();
        return;
    }
    // Unbinding leaves a learn armed for another parameter as it is.
    unbindParam(param);
}

void APlugin::setMidiCCNum(int param) {
    if (!isBindable(param)) return;
    char name[64] = {};
    getParameterName(param, name);
    char prompt[PATH_BUFFER_SIZE];
    std::snprintf(prompt, sizeof prompt, "Midi CC : %s", name);
    char answer[PATH_BUFFER_SIZE] = {};
    inputBox(prompt, "Midi CC (0 - 127)", answer);
    if (answer[0] == '\0') return;
    unbindParam(param);
    // Read as a whole number from the start; anything else reads as 0.
    const int cc = static_cast<int>(std::clamp(std::strtol(answer, nullptr, 10), 0L, 127L));
    midiMap.ccToParam[cc] = param;  // in place of whatever it drove
    midiMap.pickUpValue[param] = getParameter(param);
    midiMap.pickedUp[param] = 0;
    setMidiCC(cc, param);
    getMidiCapture();
}

void APlugin::unbindParam(int param) {
    if (!isBindable(param)) return;
    MidiCCMap& map = midiMap;
    for (int cc = 0; cc < MidiCCMap::CONTROLLERS; ++cc) {
        if (map.ccToParam[cc] != param) continue;
        map.ccToParam[cc] = 0;
        setMidiCC(cc, 0);
    }
    map.pickUpValue[param] = -1.0f;
    map.pickedUp[param] = 0;
}

void APlugin::clearMidi() {
    for (int cc = 0; cc < MidiCCMap::CONTROLLERS; ++cc) {
        midiMap.ccToParam[cc] = 0;
        setMidiCC(cc, 0);
    }
}

void APlugin::setAllMidiControls() {
    for (int cc = 0; cc < MidiCCMap::CONTROLLERS; ++cc) {
        const int param = getMidiCC(cc);
        midiMap.ccToParam[cc] = isBindable(param) ? param : 0;  // a stray stored number binds nothing
    }
}

void APlugin::saveLearnedControllers() {
    bool saved = false;
    for (int word = 0; word < MidiCCMap::CONTROLLERS / 64; ++word) {
        for (uint64_t bits = midiMap.unsaved[word].exchange(0, std::memory_order_acquire); bits != 0;
             bits &= bits - 1) {
            const int cc = word * 64 + std::countr_zero(bits);
            setMidiCC(cc, midiMap.ccToParam[cc]);  // as it stands now, should it have changed since
            saved = true;
        }
    }
    if (saved) getMidiCapture();
}

bool APlugin::getMidiCapture() {
    char text[128] = {};
    loadStringFromPrefs("Capture", text, sizeof(text));
    const bool on = text[0] == 'Y';
    midiCapture = on ? 1 : 0;
    return on;
}

void APlugin::resetCapture() {
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        midiMap.pickUpValue[i] = getParameter(i);
        midiMap.pickedUp[i] = 0;
    }
}

void APlugin::initMidiMap() {
    setAllMidiControls();
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        midiMap.pickUpValue[i] = -1.0f;
        midiMap.pickedUp[i] = 0;
    }
    midiMap.learnTarget = -1;
    midiMap.learnArmed.store(false, relaxed);
    getMidiCapture();
}
