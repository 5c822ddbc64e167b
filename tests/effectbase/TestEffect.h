#pragma once

// A small effect and editor that log the virtual calls the base makes on them.

#include "framework/effectbase/AudioEffectX.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tarnwell::test {

class TestEditor : public AEffEditor {
public:
    explicit TestEditor(AudioEffect* owner, bool* deleted = nullptr)
        : AEffEditor(owner), deletedFlag(deleted) {}
    ~TestEditor() override {
        if (deletedFlag) *deletedFlag = true;
    }
    bool getRect(ERect** r) override { return *r = &rect, true; }
    bool open(void* parent) override { return AEffEditor::open(parent), true; }
    void idle() override { ++idles; }
    bool onKeyDown(VstKeyCode& key) override { return lastKey = key, true; }
    bool onKeyUp(VstKeyCode& key) override { return lastKey = key, true; }
    bool setKnobMode(int mode) override { return knobMode = mode, true; }

    ERect rect{0, 0, 730, 1100};
    int idles = 0, knobMode = -1;
    VstKeyCode lastKey{};
    bool* deletedFlag;
};

class TestEffect : public AudioEffectX {
public:
    explicit TestEffect(HostCallback host, int programs = 4, int params = 8, bool* deleted = nullptr)
        : AudioEffectX(host, programs, params), deletedFlag(deleted) {}
    ~TestEffect() override {
        if (deletedFlag) *deletedFlag = true;
    }

    void open() override { calls.emplace_back("open"); }
    void close() override { calls.emplace_back("close"); }
    void suspend() override { calls.emplace_back("suspend"); }
    void resume() override {
        calls.emplace_back("resume");
        AudioEffectX::resume();
    }
    void processReplacing(float** inputs, float** outputs, int frames) override {
        for (int i = 0; i < frames; ++i) outputs[0][i] = inputs[0][i] * 2.0f;
    }
    void processDoubleReplacing(double**, double**, int frames) override { doubleFrames += frames; }
    void __processDeprecated(float**, float**, int frames) override { accumulatedFrames += frames; }
    void setParameter(int index, float value) override { values[index & 7] = value; }
    float getParameter(int index) override { return values[index & 7]; }
    void setProgramName(char* name) override { programName = name; }
    void getProgramName(char* name) override { std::strcpy(name, programName.c_str()); }
    void getParameterName(int index, char* text) override { std::snprintf(text, 32, "Param %d", index); }
    int getChunk(void** data, bool isPreset) override {
        *data = chunk;
        lastChunkWasPreset = isPreset;
        return static_cast<int>(sizeof(chunk));
    }
    int setChunk(void* data, int size, bool isPreset) override {
        lastChunkWasPreset = isPreset;
        std::memcpy(chunk, data, std::min(sizeof(chunk), static_cast<size_t>(size)));
        return size / 2;
    }
    int canDo(char* text) override { return canDoAnswer == text ? canDoResult : 0; }
    int processEvents(VstEvents* events) override { return events->numEvents; }
    int getPlugCategory() override { return category ? category : AudioEffectX::getPlugCategory(); }

    std::vector<std::string> calls;
    float values[8]{};
    std::string programName = "Init";
    char chunk[16] = "chunk data";
    bool lastChunkWasPreset = false;
    std::string canDoAnswer = "-";
    int canDoResult = 1;
    int category = 0;
    int doubleFrames = 0, accumulatedFrames = 0;
    bool* deletedFlag;
};

}  // namespace tarnwell::test
