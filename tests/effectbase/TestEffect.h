#pragma once

// A small effect and editor that log the virtual calls the base makes on them.

#include "framework/effectbase/AudioEffectX.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tarnwell::test {

class TestEditor : public AEffEditor {
public:
    explicit TestEditor(AudioEffect* owner, bool* deleted = nullptr) : AEffEditor(owner), deletedFlag(deleted) {}
    ~TestEditor() override {
        if (deletedFlag) *deletedFlag = true;
    }

    bool getRect(ERect** r) override {
        *r = &rect;
        return true;
    }
    bool open(void* parent) override {
        AEffEditor::open(parent);
        return true;
    }
    void idle() override { ++idles; }
    bool onKeyDown(VstKeyCode& key) override {
        lastKey = key;
        ++keyDowns;
        return true;
    }
    bool onKeyUp(VstKeyCode& key) override {
        lastKey = key;
        ++keyUps;
        return true;
    }
    bool setKnobMode(int mode) override {
        knobMode = mode;
        return true;
    }

    ERect rect{0, 0, 730, 1100};
    int idles = 0, keyDowns = 0, keyUps = 0, knobMode = -1;
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

    void open() override { log("open"); }
    void close() override { log("close"); }
    void suspend() override { log("suspend"); }
    void resume() override {
        log("resume");
        AudioEffectX::resume();
    }
    void setSampleRate(float rate) override {
        log("setSampleRate");
        AudioEffectX::setSampleRate(rate);
    }
    void processReplacing(float** inputs, float** outputs, int frames) override {
        for (int i = 0; i < frames; ++i) outputs[0][i] = inputs[0][i] * 2.0f;
        processedFrames += frames;
    }
    void processDoubleReplacing(double**, double**, int frames) override { processedDoubleFrames += frames; }
    void __processDeprecated(float**, float**, int frames) override { accumulatedFrames += frames; }
    void setParameter(int index, float value) override {
        if (index >= 0 && index < 8) values[index] = value;
    }
    float getParameter(int index) override { return index >= 0 && index < 8 ? values[index] : -1.0f; }
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
        std::memcpy(chunk, data, static_cast<size_t>(size) < sizeof(chunk) ? static_cast<size_t>(size) : sizeof(chunk));
        return size / 2;
    }
    int canDo(char* text) override { return canDoAnswer.empty() ? 0 : (canDoAnswer == text ? canDoResult : 0); }
    int processEvents(VstEvents* events) override { return events->numEvents; }
    int getPlugCategory() override { return category ? category : AudioEffectX::getPlugCategory(); }

    void log(const char* call) { calls.emplace_back(call); }
    AEffect& record() { return cEffect; }

    std::vector<std::string> calls;
    float values[8]{};
    std::string programName = "Init";
    char chunk[16] = "chunk data";
    bool lastChunkWasPreset = false;
    std::string canDoAnswer;
    int canDoResult = 1;
    int category = 0;
    int processedFrames = 0, processedDoubleFrames = 0, accumulatedFrames = 0;
    bool* deletedFlag;
};

}  // namespace tarnwell::test
