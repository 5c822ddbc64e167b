#pragma once

// One step row of a Gater Block: up to 16 cells showing which steps of the Block's left or
// right pattern are on, with a "-" on the step now playing. A left click toggles the step
// under the pointer (also in the cells the step count hides); a right click opens the row's
// gater menu.

#include "gui/StandardControls.h"

inline constexpr CColor GATER_ON_COLOR{2, 194, 180, 255};
inline constexpr CColor GATER_OFF_COLOR{10, 74, 69, 255};
inline constexpr CColor GATER_GRID_COLOR{17, 22, 23, 255};
inline constexpr CColor GATER_TEXT_COLOR{255, 255, 255, 255};

class TGater : public CControl {
public:
    static constexpr int CELLS = 16;

    TGater(const CRect& size, CControlListener* listener, int block, int row);
    TGater(const TGater&) = default;

    int getBlock() const { return block; }
    int getRow() const { return row; }
    // The step a click at x (the control's coordinates) toggles: 0..15.
    int cellAt(CCoord x) const;
    // Cell i's first and last pixel column; neighbours share their border column.
    CCoord cellLeft(int i) const;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new TGater(*this); }

private:
    int32_t block;
    int32_t row;  // 0 left, 1 right
    int32_t width;
};
