#pragma once

// The editor interface every effect editor derives from, and its rectangle.

#include <cstdint>

class AudioEffect;
struct VstKeyCode;

struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* owner = nullptr) : effect(owner) {}
    virtual ~AEffEditor() {}

    virtual AudioEffect* getEffect() { return effect; }
    // A plain editor has no rectangle: it hands back null and answers false.
    virtual bool getRect(ERect** rect);
    virtual bool open(void* parent);
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual void __drawDeprecated(ERect* /*rect*/) {}
    virtual int __mouseDeprecated(int /*x*/, int /*y*/) { return 0; }
    virtual int __keyDeprecated(int /*value*/) { return 0; }
    virtual void __topDeprecated() {}
    virtual void __sleepDeprecated() {}
    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }
    virtual bool setKnobMode(int /*mode*/) { return false; }

protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
};
