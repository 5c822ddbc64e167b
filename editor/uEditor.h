#pragma once

// The effect's editor: owns the window's frame, controls and bitmaps between open and close,
// routes every control change to the effect and brings the controls up to date when the
// effect's values change.
//
// Threads. open, close, idle, valueChanged, the wheel, keys and the menus run on the main
// thread. setParameter, resume and updateXYDisplay may come from the render thread: there they
// only publish (an atomic bit per parameter, atomic request flags), and idle takes the requests
// up on the main thread. resume called on the thread that opened the editor runs at once.
//
// Ownership. Every view is created once per open and released once, at close; showBlocks and
// the page switches move views between containers without releasing them.

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "editor/EditorLayout.h"
#include "effect/EditorLink.h"
#include "framework/platform/Programs.h"
#include "gui/AEffGUIEditor.h"
#include "gui/CControl.h"

class APlugin;
class CBitmap;
class CDrawContext;
class CKickButton;
class CViewContainer;
class TBitmap;
class TKnob;
class TMenuButton;
class TOnOff;
class TOptionMenu;
class TRadioButton;
class TReadout;

class uEditor : public AEffGUIEditor, public CControlListener, public EditorLink {
public:
    explicit uEditor(AudioEffect* effect);
    ~uEditor() override;
    uEditor(const uEditor&) = delete;
    uEditor& operator=(const uEditor&) = delete;

    // ---------------------------------------------------------------- host side
    // The rectangle of the size the editor opens at: the chosen size, or the largest smaller one
    // that fits the room the screen has (tarnwell::gui::windowRoom).
    bool getRect(ERect** rect) override;
    bool open(void* parent) override;
    void close() override;
    void idle() override;

    // ---------------------------------------------------------------- from the effect (any thread)
    void setParameter(int index, float value) override;  // the value is read from the effect
    void resume() override;
    void updateXYDisplay() override;
    void setEditTag(int tag) override;  // main thread: from beginEdit (the tag) and endEdit (-1)

    // ---------------------------------------------------------------- from the controls
    void valueChanged(CControl* control) override;
    virtual bool onWheel(const CPoint& where, const float& distance, const long& buttons);
    using AEffGUIEditor::onWheel;
    void changeProgramDelta(int delta);                   // arrow keys: one preset, behind the 333 ms guard
    void changeFolderDelta(int delta);                    // page keys: no folders to step through
    void stepMenu(TOptionMenu* menu, int tag, int step);  // one option up (+1) or down (-1)
    void setDropTag(int tag);                             // a knob was pressed
    void releasedDropDial();                              // ... and released
    CPoint getModScreenPos() const { return dropPoint; }

    // Context menus, built and shown on the spot by the menu code; each does nothing until built.
    void showMidiLearnMenu(CDrawContext* context, CControl* control, CPoint& where);
    void showXYMenu(CDrawContext* context, CControl* control, CPoint& where, int block);
    void showBlockMenu(CDrawContext* context, CControl* control, CPoint& where, int block);
    void showGaterMenu(CDrawContext* context, CControl* control, CPoint& where, int block, int side);
    void showModMenu(CDrawContext* context, CControl* control, CPoint& where, int slot);

    // ---------------------------------------------------------------- accessors
    int getGuiSize() const { return guiSize; }
    int getChosenSize() const { return chosenSize; }  // the stored choice, which a small screen may not show
    float getGuiScale() const { return guiScale; }
    bool getUseKeys() const { return useKeys; }
    APlugin* plugin() const;
    // Bitmap k (layout::BitmapNumber) while open, else null; controls borrow them.
    CBitmap* getBitmap(int k) const { return k >= 0 && k < BITMAP_SLOTS ? bitmaps[k] : nullptr; }
    CBitmap* getKnobBitmap(int type) const { return getBitmap(layout::BMP_KNOB_FIRST + type); }
    CBitmap* getRadioBitmap() const { return getBitmap(layout::BMP_ROUND_BUTTON); }
    CBitmap* getMenuButtonBitmap() const { return getBitmap(layout::BMP_ROUND_BUTTON); }
    CBitmap* getCursorBitmap() const { return getBitmap(layout::BMP_XY_CURSOR); }
    bool isBacksideShown() const { return backsideShown; }
    bool areControlsReady() const { return controlsReady.load(std::memory_order_relaxed); }

    int getScaled(int units) const { return layout::scaled(units, guiScale); }
    float getScaled(float units) const { return units * guiScale; }

    // Preferences "Y"/"N": default true reads true unless the text begins "N"; default false
    // reads true only when it begins "Y".
    static bool getBackRegValue(const char* key, bool def);
    static void setBackRegValue(const char* key, bool on);
    // The window size the preferences choose: 2 with "Big200", else 1 with "Big150", else 0.
    static int storedSize();
    bool getEditChanged() const;

    // ---------------------------------------------------------------- layout and panels
    void showBlocks();
    void showControls();
    void showBackside();
    void hideBackside();
    void updatePresetMenu();
    void resumeMenu(TOptionMenu* menu);
    void setMenuVar(int tag, int index, float steps);
    static void drawSetMenu(TOptionMenu* menu, int index, const char* const* table);
    static void getBypassEntry(char* text);  // "-G" in front, in place

    // ---------------------------------------------------------------- for tests and tools
    static constexpr int MAX_CONTROLS = 10000;
    int getControlCount() const { return controlCount; }
    CControl* getControl(int i) const { return i >= 0 && i < controlCount ? controls[i] : nullptr; }
    bool isMenuControl(int i) const { return i >= 0 && i < controlCount && controlIsMenu[i]; }
    // The first registered control with the tag, or null.
    CControl* findControl(long tag) const;
    float getMenuSteps(int tag) const { return tag >= 0 && tag < MAX_CONTROLS ? menuSteps[tag] : -1.0f; }
    int getReadoutCount() const { return readoutCount; }
    TReadout* getReadout(int i) const { return readouts[i]; }  // i below getReadoutCount()
    CViewContainer* getBlockContainer(int b) const { return isBlock(b) ? blockContainer[b] : nullptr; }

    // Every control the layout creates, by role (null while closed). The XY pads, gater grids
    // and the modulation-matrix view are filled in by their own code at the marked places.
    struct Controls {
        TOptionMenu* presetMenu = nullptr;
        TOptionMenu* presetSubMenu[4] = {};
        TOptionMenu* bankDisplay = nullptr;
        CKickButton* presetPrev = nullptr;
        CKickButton* presetNext = nullptr;
        CKickButton* bankPrev = nullptr;
        CKickButton* bankNext = nullptr;
        CKickButton* editedLamp = nullptr;
        CKickButton* revertButton = nullptr;
        CKickButton* manualButton = nullptr;
        TOptionMenu* midiMapMenu = nullptr;
        CKickButton* resetButton = nullptr;
        TOnOff* bypassButton = nullptr;
        TOnOff* triggerButton = nullptr;
        CKickButton* settingsButton = nullptr;
        TKnob* knobs[layout::KNOB_COUNT] = {};
        TOnOff* delayOnButton = nullptr;
        TOnOff* delayMonoButton = nullptr;
        TOnOff* delaySyncButton = nullptr;
        TOnOff* delayEqualButton = nullptr;
        TOnOff* xyEditButton[BLOCK_COUNT] = {};
        TOptionMenu* pathMenu = nullptr;
        TBitmap* pathPicture = nullptr;

        TOptionMenu* blockTypeMenu[BLOCK_COUNT] = {};
        TOnOff* blockBypassButton[BLOCK_COUNT] = {};
        TMenuButton* blockMenuButton[BLOCK_COUNT] = {};
        TOptionMenu* filterMenu[BLOCK_COUNT] = {};
        TOptionMenu* filterSubMenu[BLOCK_COUNT][7] = {};  // kept by the filter menu
        TOptionMenu* combMenu[BLOCK_COUNT] = {};
        TOptionMenu* shaperMenu[BLOCK_COUNT] = {};
        TOptionMenu* lowfiMenu[BLOCK_COUNT] = {};
        TOptionMenu* gaterStepsMenu[BLOCK_COUNT] = {};
        TOptionMenu* gaterLoopMenu[BLOCK_COUNT] = {};
        TOptionMenu* gaterSpeedMenu[BLOCK_COUNT] = {};
        TKnob* panelKnobs[BLOCK_COUNT][layout::PANEL_KNOB_COUNT] = {};
        TOptionMenu* grainModeMenu[BLOCK_COUNT] = {};
        TOnOff* grainDryButton[BLOCK_COUNT] = {};
        TOnOff* grainLinkButton[BLOCK_COUNT] = {};
        TKnob* blockKnobs[BLOCK_COUNT][layout::BLOCK_KNOBS_PER_BLOCK] = {};
        TBitmap* connector[BLOCK_COUNT] = {};
        CControl* gater[BLOCK_COUNT][2] = {};  // TGater, left and right rows

        TRadioButton* xyRecordRadio[BLOCK_COUNT][3] = {};
        TMenuButton* xyMenuButton[BLOCK_COUNT] = {};
        TOptionMenu* xySpeedSourceMenu[BLOCK_COUNT] = {};
        TOptionMenu* xyPlayMenu[BLOCK_COUNT] = {};
        TOptionMenu* xyLoopMenu[BLOCK_COUNT] = {};
        TOptionMenu* xySyncMenu[BLOCK_COUNT] = {};
        TOptionMenu* xyPointMenu[BLOCK_COUNT] = {};
        TOptionMenu* xySpaceMenu[BLOCK_COUNT] = {};
        TOptionMenu* xyTimeMenu[BLOCK_COUNT] = {};
        // Block b's seven XY settings menus, in the panel's order.
        std::array<TOptionMenu*, 7> xyMenus(int b) const {
            return {xySpeedSourceMenu[b], xyPlayMenu[b],  xyLoopMenu[b], xySyncMenu[b],
                    xyPointMenu[b],       xySpaceMenu[b], xyTimeMenu[b]};
        }
        CControl* xyDisplay[BLOCK_COUNT] = {};  // TXYDisplay
        TBitmap* midiXLamp[BLOCK_COUNT] = {};
        TBitmap* midiYLamp[BLOCK_COUNT] = {};

        TBitmap* equalFeedPicture = nullptr;
        TOptionMenu* followerMenu = nullptr;
        CControl* modDisplay = nullptr;  // TModDisplay

        CKickButton* backsideButton = nullptr;  // the settings page's full-size button
        TReadout* sizeNote = nullptr;           // the settings page's word on a chosen size that does not fit
        TOnOff* settingsToggle[layout::SETTINGS_TOGGLE_COUNT] = {};
    };
    const Controls& getControls() const { return ctl; }

    // The XY point-edit grouping last chosen in an XY menu (0 single, 1 narrow, 2 wide).
    int xyGrouping = 0;
    // Set to have the next idle redraw the modulation-matrix view.
    std::atomic<bool> modChanged{false};
    // The gater step last drawn per Block; -1 forces a redraw.
    int gaterStepShown[BLOCK_COUNT] = {-1, -1, -1};

    // Replaces how the manual is shown (tests): called with the manual's path; false when it
    // could not be shown.
    using DocumentOpener = ::DocumentOpener;
    static void setDocumentOpener(DocumentOpener opener);

protected:
    // ---------------------------------------------------------------- factories
    void createBitmaps();
    void removeBitmaps();
    void createControls();
    void createBlockControls(int b);
    void createOnOff(TOnOff*& control, int tag, int x, int y, CBitmap* bitmap, bool midiMenu);
    void createKickButton(CKickButton*& control, int tag, int x, int y, CBitmap* bitmap);
    // A centred menu with arrows over choice slot tag: its options, scale and count from the
    // parameter layout. shown replaces the option texts; entries cuts the list short (the filter
    // menu's sub-menus hold the rest).
    void createMenu(TOptionMenu*& control, int tag, const layout::MenuPlace& place, int originX,
                    const char* const* shown = nullptr, int entries = -1, bool third = false);
    void createMenu(TOptionMenu*& control, int tag, int x, int y, CBitmap* bitmap, int count,
                    const char* const* table, bool centred, bool arrows, bool third);
    void createFilterMenu(int b);
    void createKnob(TKnob*& knob, int tag, int x, int y, int type);
    void createRadio(TRadioButton*& radio, int x, int y);
    void createMenuButton(TMenuButton*& button, int x, int y, int index);
    void createBitmapLabel(TBitmap*& picture, int tag, int x, int y, int w, int h, CBitmap* bitmap);
    void createPresetMenu();
    // Registers a control (with its default value) when the editor has an effect and a frame.
    void addControl(CControl* control);
    void addControlMenu(CControl* control);
    // Every view created this open, released once at close.
    void own(CView* view);
    void releaseViews();
    // Takes the frame, views and bitmaps down (close, or a destructor with the window open).
    void releaseWindow();

    // ---------------------------------------------------------------- idle parts
    void takePublishedChanges();  // requests from other threads
    void applyParameter(int index);
    void markPadsShowing(int index);  // the XY pad or gater grids that draw this parameter
    void resumeNow();
    void dropMod();
    void refreshReadouts();
    CView* viewUnderMouse() const;
    bool presetStepAllowed();
    void openManual();
    void setScreenSize(int size);
    void fitToScreen();  // before the window exists: the size it opens at
    bool handleBlockControl(CControl* control, int tag);
    void setTogglesFromPreferences();
    void addKnobWithReadout(CViewContainer* parent, TKnob* knob);
    void dimReadout(int index, bool dimmed);

    static constexpr int BITMAP_SLOTS = 100;

    // Drop of a pressed knob onto the modulation-matrix view.
    int32_t dropTag = -1;
    bool dropReleased = false;
    float dropValue = 0.0f;

    CBitmap* bitmaps[BITMAP_SLOTS] = {};  // by bitmap number k

    bool useKeys = true;
    std::atomic<bool> controlsReady{false};
    bool editChangedShown = false;
    int32_t guiSize = 0;
    int32_t chosenSize = 0;  // from the preferences; guiSize is what the screen has room for
    int32_t controlCount = 0;
    uint32_t stepRequestTime = 0, lastStepTime = 0;  // the 333 ms preset-step guard
    uint32_t lastRefreshTime = 0, lastIdleTime = 0;  // the 251 ms refresh, the 40 ms throttle
    float guiScale = 1.0f;
    CPoint dropPoint;

    CControl* controls[MAX_CONTROLS] = {};
    uint8_t controlIsMenu[MAX_CONTROLS] = {};
    float menuSteps[MAX_CONTROLS] = {};  // by tag; -1 where no menu has the tag
    CControl* editControl = nullptr;

    CViewContainer* blockContainer[BLOCK_COUNT] = {};
    Controls ctl;

    std::atomic<bool> blocksChanged{false};
    char readoutText[256][64] = {};
    TReadout* readouts[layout::READOUT_COUNT] = {};
    int32_t readoutCount = 0;
    bool backsideShown = false;

    // Published by other threads, taken up by idle.
    std::atomic<uint32_t> pendingParameters[PARAMETER_COUNT / 32] = {};
    std::atomic<bool> resumeRequested{false};
    std::atomic<bool> xyDisplayRequested{false};
    std::atomic<std::thread::id> uiThread{};

    CView* ownedViews[MAX_CONTROLS] = {};
    int ownedCount = 0;
};

// Creates the effect's editor; the component installs it as the effect's editor factory.
EditorLink* createTarnwellEditor(AudioEffect* effect);
