#pragma once

// An effect with a small toolkit editor, hosted by the adapter, and the host side of its view:
// the Cocoa UI property, the bundle and the factory class found by name, as a host finds them.
//
// The editor is a 120 x 80 frame holding one switch (tag 1) at (20, 20)-(60, 40), drawn green
// when on and red when off; a click toggles it and automates parameter 1.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <vector>

#include "framework/auadapter/AUPLUGIN.h"
#include "gui/AEffGUIEditor.h"
#include "gui/CControl.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "sdk/audiounit/AudioUnit.h"
#include "sdk/cocoa/AppKit.h"
#include "sdk/corefoundation/CFBundle.h"
#include "sdk/corefoundation/CFString.h"

namespace tarnwell::test {

inline const CColor kOnColor{0, 200, 0, 255};
inline const CColor kOffColor{200, 0, 0, 255};
inline const CPoint kSwitchCentre{40, 30};

class Switch : public CControl {
public:
    using CControl::CControl;
    void draw(CDrawContext* context) override {
        context->setFillColor(getValue() > 0.5f ? kOnColor : kOffColor);
        context->fillRect(size);
        setDirty(false);
    }
    CMouseEventResult onMouseDown(CPoint&, const long&) override {
        beginEdit();
        setValue(getValue() > 0.5f ? 0.0f : 1.0f);
        if (listener) listener->valueChanged(this);
        endEdit();
        return kMouseEventHandled;
    }
    CView* newCopy() const override { return new Switch(*this); }
};

class SwitchEditor : public AEffGUIEditor, public CControlListener {
public:
    explicit SwitchEditor(AudioEffect* fx) : AEffGUIEditor(fx) { rect = ERect{0, 0, 80, 120}; }
    bool open(void* parent) override {
        AEffGUIEditor::open(parent);
        ++opens;
        parents.push_back(parent);
        frame = new CFrame(CRect(0, 0, 120, 80), parent, this);
        control = new Switch(CRect(20, 20, 60, 40), this, 1);
        control->setValue(effect->getParameter(1));
        frame->addView(control);
        return true;
    }
    void close() override {
        ++closes;
        delete frame;
        frame = nullptr;
        control = nullptr;
        AEffGUIEditor::close();
    }
    void idle() override {
        idles.fetch_add(1, std::memory_order_relaxed);
        if (control && control->getValue() != effect->getParameter(1))
            control->setValue(effect->getParameter(1));
        AEffGUIEditor::idle();
    }
    void valueChanged(CControl* c) override {
        effect->setParameterAutomated(static_cast<int>(c->getTag()), c->getValue());
    }

    int opens = 0, closes = 0;
    std::atomic<int> idles{0};
    std::vector<void*> parents;
    Switch* control = nullptr;
};

class EditorEffect : public AudioEffectX {
public:
    explicit EditorEffect(HostCallback host) : AudioEffectX(host, 1, 4) {
        editorOf = new SwitchEditor(this);
        last = this;
    }
    void setParameter(int index, float value) override {
        values[index & 3].store(value, std::memory_order_relaxed);
    }
    float getParameter(int index) override { return values[index & 3].load(std::memory_order_relaxed); }
    void processReplacing(float**, float** outputs, int frames) override {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < frames; ++i) outputs[c][i] = 0.0f;
    }
    SwitchEditor* editorOf;
    std::atomic<float> values[4]{};
    static inline EditorEffect* last = nullptr;
};

class EditorAdapter : public AUPLUGIN {
public:
    explicit EditorAdapter(AudioComponentInstance instance)
        : AUPLUGIN(instance, [](HostCallback host) -> AudioEffect* { return new EditorEffect(host); }) {}
};

inline std::string text(CFStringRef string) {
    char buffer[1024] = {};
    CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8);
    return buffer;
}

// The view as a host gets it: the factory named by the unit's Cocoa UI property, loaded from
// its bundle. Retained for the caller.
inline NSView* hostViewOf(AudioUnit unit) {
    NSAutoreleasePool pool;
    AudioUnitCocoaViewInfo info{};
    UInt32 size = sizeof info;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info, &size),
              0);
    NSBundle* bundle = NSBundle::bundleWithPath(text(info.mCocoaAUViewBundleLocation));
    Class factoryClass = bundle ? bundle->classNamed(text(info.mCocoaAUViewClass[0])) : nullptr;
    CFRelease(info.mCocoaAUViewBundleLocation);
    CFRelease(info.mCocoaAUViewClass[0]);
    if (factoryClass == nullptr) {
        ADD_FAILURE() << "no view factory class in the bundle";
        return nullptr;
    }
    NSObject* made = factoryClass->make();
    auto* factory = dynamic_cast<AUCocoaUIBase*>(made);
    EXPECT_NE(factory, nullptr);
    EXPECT_EQ(factory->interfaceVersion(), 0u);
    EXPECT_EQ(made->description(), " AU_Cocoa_UI");
    NSView* view = factory ? factory->uiViewForAudioUnit(unit, {}) : nullptr;
    if (view) view->retain();
    made->release();
    return view;
}

// Steps time instead of waiting: the run loop's waits return at once at the time waited for.
class SteppedClock : public NSRunLoop::Clock {
public:
    double now() override { return time; }
    void waitUntil(double until) override { time = std::max(time, until); }
    double time = 1000.0;
};

// The unit, opened through the toolbox, with the built component's bundle known by its
// identifier so that the Cocoa UI property finds it; the run loop on a stepped clock.
class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        static AudioComponent component =
            AudioComponentRegister(&kDescription, &AUMIDIEffectFactory<EditorAdapter>::Factory);
        const std::filesystem::path library(TARNWELL_COMPONENT_PATH);
        tarnwell::cf::registerBundle("com.Zelk.Tarnwell.component",
                                     library.parent_path().parent_path().parent_path().c_str());
        ASSERT_EQ(AudioComponentInstanceNew(component, &unit), 0);
        effect = EditorEffect::last;
        editor = effect->editorOf;
        NSRunLoop::mainRunLoop().setClock(&clock);
    }
    void TearDown() override {
        AudioComponentInstanceDispose(unit);
        NSRunLoop::mainRunLoop().setClock(nullptr);
    }

    NSView* hostView() { return hostViewOf(unit); }

    void click(NSWindow* window, CPoint where) {
        const NSPoint at{static_cast<double>(where.x), static_cast<double>(where.y)};
        window->sendEvent({NSLeftMouseDown, at});
        window->sendEvent({NSLeftMouseUp, at});
    }

    static constexpr AudioComponentDescription kDescription{
        kAudioUnitType_MusicEffect, fourCharOSType("Tvew"), fourCharOSType("Tarn"), 0, 0};
    AudioUnit unit = nullptr;
    EditorEffect* effect = nullptr;
    SwitchEditor* editor = nullptr;
    SteppedClock clock;
};

}  // namespace tarnwell::test
