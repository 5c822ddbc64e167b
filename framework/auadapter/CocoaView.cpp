#include "framework/auadapter/CocoaView.h"

#include "framework/auadapter/AUPLUGIN.h"
#include "framework/platform/Dialogs.h"
#include "gui/Platform.h"
#include "sdk/audiounit/AudioToolbox.h"
#include "sdk/cocoa/WindowServer.h"

namespace {
constexpr float kIdleSeconds = 0.02f;
constexpr unsigned kPanelStyle = NSTitledWindowMask | NSClosableWindowMask | NSUtilityWindowMask;  // 19
}  // namespace

NSView* Tarnwell_Zelk_CocoaViewFactory::uiViewForAudioUnit(AudioUnit unit, NSSize) {
    // The editor's prompts and messages become modal windows on the host's display, where it
    // has one; a script of answers still comes first.
    if (DialogBackend* windows = tarnwell::cocoa::windowServer().dialogs()) setWindowDialogBackend(windows);
    auto* view = new Tarnwell_Zelk_CocoaView;
    view->setAU(unit);
    view->createWindowController();
    view->setupIdleTimer();
    view->autorelease();
    return view;
}

void Tarnwell_Zelk_CocoaView::createWindowController() {
    // The editor picks the largest of its sizes that fits the room the screen has for it.
    int roomW = 0, roomH = 0;
    if (!tarnwell::cocoa::windowServer().workArea(roomW, roomH)) roomW = roomH = 0;
    tarnwell::gui::setWindowRoom(roomW, roomH);
    double size[2] = {0.0, 0.0};
    UInt32 bytes = sizeof size;
    if (AudioUnitGetProperty(mAU, AUPLUGIN::kEditorSizeProperty, kAudioUnitScope_Global, 0, size, &bytes) !=
        0)
        return;
    auto* controller = Tarnwell_Zelk_WindowController::initWithSize({size[0], size[1]});
    if (controller == nullptr) return;
    controller->autorelease();
    setFrameSize({size[0], size[1]});
    controller->window()->setContentView(this);
    void* parent = handle();
    AudioUnitSetProperty(mAU, AUPLUGIN::kEditorViewProperty, kAudioUnitScope_Global, 0, &parent,
                         sizeof parent);
}

void Tarnwell_Zelk_CocoaView::setupIdleTimer() {
    timer = NSTimer::scheduledTimerWithTimeInterval(kIdleSeconds, this, &Tarnwell_Zelk_CocoaView::editorIdle,
                                                    this, true);
    timer->retain();
}

void Tarnwell_Zelk_CocoaView::editorIdle(NSTimer*) {
    void* none = nullptr;
    AudioUnitSetProperty(mAU, AUPLUGIN::kEditorIdleProperty, kAudioUnitScope_Global, 0, &none, sizeof none);
}

Tarnwell_Zelk_CocoaView::~Tarnwell_Zelk_CocoaView() {
    AudioUnitSetProperty(mAU, AUPLUGIN::kEditorViewProperty, kAudioUnitScope_Global, 0, nullptr, 0);
    if (timer) {
        timer->invalidate();
        timer->release();
    }
}

NSPanel* Tarnwell_Zelk_WindowController::createWindow(NSSize size) {
    if (size.width < 1.0 || size.height < 1.0) return nullptr;
    return new NSPanel(NSMakeRect(0, 0, size.width, size.height), kPanelStyle, NSBackingStoreBuffered, false);
}

Tarnwell_Zelk_WindowController* Tarnwell_Zelk_WindowController::initWithSize(NSSize size) {
    NSPanel* panel = createWindow(size);
    if (panel == nullptr) return nullptr;
    panel->setReleasedWhenClosed(true);
    auto* controller = new Tarnwell_Zelk_WindowController;
    controller->initWithWindow(panel);
    panel->center();
    panel->setHidesOnDeactivate(true);
    panel->setTitle("Tarnwell");
    return controller;
}

void registerCocoaViewClasses() {
    tarnwell::cocoa::registerClass<Tarnwell_Zelk_CocoaViewFactory>("Tarnwell_Zelk_CocoaViewFactory");
    tarnwell::cocoa::registerClass<Tarnwell_Zelk_CocoaView>("Tarnwell_Zelk_CocoaView");
    tarnwell::cocoa::registerClass<Tarnwell_Zelk_WindowController>("Tarnwell_Zelk_WindowController");
}
