#include "editor/controls/TGater.h"

#include <algorithm>

#include "editor/controls/ControlSupport.h"
#include "editor/uEditor.h"
#include "effect/APlugin.h"
#include "gui/CDrawContext.h"

namespace {
constexpr float kCellHeight = 10.0f;  // design units, whatever the control's own height

const CFontDesc* markFont(int guiSize) {
    return guiSize <= 0 ? kNormalFontSmall : guiSize == 1 ? kNormalFontBig : kNormalFontVeryBig;
}
}  // namespace

TGater::TGater(const CRect& rect, CControlListener* owner, int blockIndex, int rowIndex)
    : CControl(rect, owner, kNoParameter), block(blockIndex), row(rowIndex), width(rect.getWidth()) {}

int TGater::cellAt(CCoord x) const {
    if (width <= 0) return 0;
    const auto cell = static_cast<int>(static_cast<float>(x - size.left) * CELLS / static_cast<float>(width));
    return std::clamp(cell, 0, CELLS - 1);
}

CCoord TGater::cellLeft(int i) const {
    return size.left + static_cast<CCoord>(static_cast<float>(i) / CELLS * static_cast<float>(width - 1));
}

void TGater::draw(CDrawContext* context) {
    uEditor* editor = editorOf(this);
    APlugin* fx = editor ? editor->plugin() : nullptr;
    if (!fx) return;
    context->setFont(markFont(editor->getGuiSize()));
    context->setFrameColor(GATER_GRID_COLOR);
    context->setFontColor(GATER_TEXT_COLOR);

    const int last = fx->getGaterSteps(block);
    const CCoord bottom = size.top + static_cast<CCoord>(kCellHeight * editor->getGuiScale());
    for (int i = 0; i <= last; ++i) {
        context->setFillColor(fx->getGaterValue(block, row, i) > 0.5f ? GATER_ON_COLOR : GATER_OFF_COLOR);
        context->fillRect(CRect(cellLeft(i), size.top, cellLeft(i + 1), bottom));
    }
    // Outlines after all fills, so that every border column is the grid's colour.
    const int playing = fx->getCurrentGaterSteps(block);
    for (int i = 0; i <= last; ++i) {
        const CRect cell(cellLeft(i), size.top, cellLeft(i + 1) + 1, bottom + 1);
        context->drawRect(cell);
        if (i == playing) context->drawString("-", cell, kCenterText);
    }
}

CMouseEventResult TGater::onMouseDown(CPoint& where, const long& buttons) {
    uEditor* editor = editorOf(this);
    APlugin* fx = editor ? editor->plugin() : nullptr;
    if (!getMouseEnabled() || !fx) return kMouseEventHandled;
    if (buttons & kLButton) {
        fx->toggleGaterValue(block, row, cellAt(where.x));
        redrawNow(this);
        if (listener) listener->valueChanged(this);
        setDirty(true);
    } else if (buttons & kRButton) {
        editor->showGaterMenu(nullptr, this, where, block, row);
    }
    return kMouseEventHandled;
}

bool TGater::isTypeOf(const char* className) const {
    return isClassName(className, "TGater") || CControl::isTypeOf(className);
}
