#pragma once

// The modulation matrix: four rows (slots) of number, source, destination and amount.
//
// Left clicks by column: the number toggles the slot's bypass, the source and the destination
// open grouped choosers, the amount starts a drag like a knob's (right and up both raise it;
// 200 pixels for the whole range, 10000 with shift); shift + left click or a double click sets
// the amount to none (0.5). The wheel moves the amount of the row under the pointer; a right
// click opens the editor's modulation menu for the row. Every edit takes the effect's
// modulation undo snapshot first and goes through the slot parameters.

#include <cstdint>
#include <string>

#include "editor/controls/ControlSupport.h"
#include "effect/ParameterLayout.h"
#include "gui/CControl.h"
#include "gui/GuiTypes.h"

inline constexpr CColor MOD_TEXT_COLOR{255, 255, 255, 255};
inline constexpr CColor MOD_BYPASS_TEXT_COLOR{110, 110, 110, 255};  // dimmed, still 3.9:1 on the well
inline constexpr const char* SLOT_STR[4] = {"1", "2", "3", "4"};
// Titles of the chooser's groups: sources 1-26, 27-45, 46-58, and the destination groups that
// MOD_DESTINATION_START bounds.
inline constexpr int MOD_SOURCE_HEADER_COUNT = 3;
inline constexpr const char* MOD_SOURCE_HEADER_STR[MOD_SOURCE_HEADER_COUNT] = {"MIDI", "Follower, Gater & XY",
                                                                               "Audio, Offset & Noise"};
inline constexpr int32_t MOD_SOURCE_HEADER_START[MOD_SOURCE_HEADER_COUNT + 1] = {
    SOURCE_MOD_WHEEL, SOURCE_FOLLOWER, SOURCE_INPUT, MOD_SOURCE_COUNT};
inline constexpr int MOD_DESTINATION_HEADER_COUNT = 6;
inline constexpr const char* MOD_DESTINATION_HEADER_STR[MOD_DESTINATION_HEADER_COUNT] = {
    "Global", "Block 1", "Block 2", "Block 3", "Delay", "Follower & Mod Amounts"};

class TModDisplay : public CControl {
public:
    TModDisplay(const CRect& size, CControlListener* listener, int sizeIndex);
    TModDisplay(const TModDisplay&) = default;

    // The row (0..3) at y pixels below the view's top, and the column (0..3, 4 right of the
    // last) at x pixels from its left edge.
    int rowAt(int y) const;
    int columnAt(int x) const;
    int getSelectedRow() const { return selectedRow; }
    // The text of a cell: slot number, short source name, short destination name, amount in %.
    std::string cellText(int row, int column) const;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new TModDisplay(*this); }

private:
    // A chooser of names: the first, then groups of the others (group g from groupStarts[g] up
    // to the next start); the index of the name chosen, -1 for none.
    int choose(const CPoint& where, const char* const* names, int count, const char* const* groups,
               const int32_t* groupStarts, int groupCount);
    void chooseSource(int row, const CPoint& where);
    void chooseDestination(int row, const CPoint& where);
    void setAmount(float value);

    int sizeIndex;
    int editedTag;
    int selectedRow = 0;
    ShiftDrag drag;
    bool dragging = false;  // an amount drag holds an edit gesture open
    CPoint lastPoint{-1, -1};
    CPoint firstPoint{-1, -1};
    CPoint pressPoint;
};
