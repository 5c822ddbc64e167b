#include "editor/controls/TModDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "editor/EditorLayout.h"
#include "editor/controls/ContextMenu.h"
#include "editor/controls/ControlSupport.h"
#include "editor/uEditor.h"
#include "effect/APlugin.h"
#include "effect/MenuCommands.h"
#include "effect/OptionStrings.h"
#include "gui/CDrawContext.h"

namespace {
constexpr int kChooserMargin = 10;  // the chooser's rectangle around the press
constexpr float kNoModulation = 0.5f;
constexpr float kWheelStep = 0.01f;  // of the amount's range per unit of wheel distance

const CFontDesc* modFont(int sizeIndex) {
    return sizeIndex <= 0 ? kNormalFontSmaller : sizeIndex == 1 ? kNormalFont : kNormalFontBig;
}
}  // namespace

TModDisplay::TModDisplay(const CRect& rect, CControlListener* owner, int index)
    : CControl(rect, owner, kNoParameter),
      sizeIndex(std::clamp(index, 0, layout::SIZE_COUNT - 1)),
      editedTag(MOD_AMOUNT_TAG[0]) {}

int TModDisplay::rowAt(int y) const {
    return std::clamp(static_cast<int>(static_cast<float>(y) / layout::MOD_SLOT_HEIGHT[sizeIndex]), 0,
                      MOD_SLOT_COUNT - 1);
}

int TModDisplay::columnAt(int x) const {
    int column = 0;
    while (column < layout::MOD_COLUMN_COUNT && x >= layout::MOD_COLOUMN_END[sizeIndex][column]) ++column;
    return column;
}

std::string TModDisplay::cellText(int r, int column) const {
    APlugin* fx = effectOf(this);
    if (!fx || r < 0 || r >= MOD_SLOT_COUNT) return {};
    char text[64] = {};
    switch (column) {
        case 0:
            return SLOT_STR[r];
        case 1:
            return MOD_SOURCE_SHORT_STR[fx->getModSource(r)];
        case 2:
            fx->getDestinationString(fx->getModDestination(r), true, text);
            return text;
        case 3: {
            // 200 v - 100 is 100 a, rounded as the amount's value text rounds it (80, not 79.99999).
            const float v = fx->getParameter(MOD_AMOUNT_TAG[r]);
            const float a = fx->getModAmount(r);
            const float shown = fx->getModDestinationType(r) == COMBINE_EXPONENTIAL
                                    ? 100.0f * std::exp2(3.0f * a)
                                    : 200.0f * v - 100.0f;
            std::snprintf(text, sizeof text, "%d %%", static_cast<int>(shown));
            return text;
        }
        default:
            return {};
    }
}

void TModDisplay::draw(CDrawContext* context) {
    APlugin* fx = effectOf(this);
    if (!fx) return;
    const float rowHeight = layout::MOD_SLOT_HEIGHT[sizeIndex];
    context->setFont(modFont(sizeIndex));
    for (int r = 0; r < MOD_SLOT_COUNT; ++r) {
        context->setFontColor(fx->getModBypass(r) ? MOD_BYPASS_TEXT_COLOR : MOD_TEXT_COLOR);
        const int top = size.top + static_cast<int>(static_cast<float>(r) * rowHeight);
        for (int c = 0; c < layout::MOD_COLUMN_COUNT; ++c) {
            const CRect cell(size.left + layout::MOD_COLOUMN_START[sizeIndex][c], top,
                             size.left + layout::MOD_COLOUMN_END[sizeIndex][c],
                             top + static_cast<int>(rowHeight));
            context->drawString(cellText(r, c).c_str(), cell, kCenterText);
        }
    }
}

CMouseEventResult TModDisplay::onMouseDown(CPoint& where, const long& buttons) {
    uEditor* editor = editorOf(this);
    APlugin* fx = effectOf(this);
    if (!getMouseEnabled() || !fx) return kMouseEventHandled;
    pressPoint = CPoint(where.x - size.left, where.y - size.top);
    const int row = rowAt(pressPoint.y);
    selectedRow = row;
    if (!(buttons & kLButton)) {
        editor->showModMenu(nullptr, this, where, row);
        return kMouseEventHandled;
    }
    fx->doModCommand(MOD_SNAPSHOT, 0);  // the undo snapshot of what this click changes
    switch (columnAt(pressPoint.x)) {
        case 0:
            fx->setParameterAutomated(MOD_BYPASS_TAG[row], 1.0f - fx->getParameter(MOD_BYPASS_TAG[row]));
            redrawNow(this);
            break;
        case 1:
            chooseSource(row, where);
            break;
        case 2:
            chooseDestination(row, where);
            break;
        case 3:
            editedTag = MOD_AMOUNT_TAG[row];
            if (buttons == (kLButton | kShift) || (buttons & kDoubleClick)) {
                fx->setParameterAutomated(editedTag, kNoModulation);
                redrawNow(this);
                break;
            }
            drag.start(fx->getParameter(editedTag), buttons, getMax() - getMin());
            firstPoint = pressPoint;
            lastPoint = CPoint(-1, -1);
            if (CFrame* frame = getFrame()) frame->beginEdit(editedTag);
            dragging = true;
            onMouseMoved(where, buttons);
            break;
        default:
            break;
    }
    return kMouseEventHandled;
}

CMouseEventResult TModDisplay::onMouseMoved(CPoint& where, const long& buttons) {
    if (!dragging || !(buttons & kLButton)) return kMouseEventHandled;
    const CPoint p(where.x - size.left, where.y - size.top);
    if (p == lastPoint) return kMouseEventHandled;
    lastPoint = p;
    // Rightward and upward both raise the amount.
    const float d = static_cast<float>((p.x - firstPoint.x) + (firstPoint.y - p.y));
    setAmount(drag.valueAt(d, buttons, getMax() - getMin()));
    redrawNow(this);
    return kMouseEventHandled;
}

CMouseEventResult TModDisplay::onMouseUp(CPoint&, const long&) {
    if (dragging) {
        dragging = false;
        if (CFrame* frame = getFrame()) frame->endEdit(editedTag);
    }
    setDirty(true);
    return kMouseEventHandled;
}

bool TModDisplay::onWheel(const CPoint&, const float& distance, const long&) {
    uEditor* editor = editorOf(this);
    APlugin* fx = effectOf(this);
    if (!fx) return false;
    const int row = rowAt(editor->getModScreenPos().y - size.top);
    selectedRow = row;
    editedTag = MOD_AMOUNT_TAG[row];
    setAmount(fx->getParameter(editedTag) + distance * kWheelStep);
    setDirty(true);
    return true;
}

void TModDisplay::setAmount(float amount) {
    if (APlugin* fx = effectOf(this)) fx->setParameterAutomated(editedTag, std::clamp(amount, 0.0f, 1.0f));
}

int TModDisplay::choose(const CPoint& where, const char* const* names, int count, const char* const* groups,
                        const int32_t* groupStarts, int groupCount) {
    ContextMenu chooser(getFrame(), where, kChooserMargin);
    chooser.add(names[0]);
    for (int g = 0; g < groupCount; ++g) {
        COptionMenu* group = chooser.addSubMenu(groups[g]);
        for (int i = groupStarts[g]; i < groupStarts[g + 1]; ++i) group->addEntry(names[i]);
    }
    const std::string chosen = chooser.open();
    redrawNow(this);
    for (int i = 0; i < count; ++i)
        if (chosen == names[i]) return i;
    return -1;
}

void TModDisplay::chooseSource(int row, const CPoint& where) {
    const int source = choose(where, MOD_SOURCE_STR, MOD_SOURCE_COUNT, MOD_SOURCE_HEADER_STR,
                              MOD_SOURCE_HEADER_START, MOD_SOURCE_HEADER_COUNT);
    APlugin* fx = effectOf(this);
    if (fx && source >= 0)
        fx->setParameterAutomated(MOD_SOURCE_TAG[row],
                                  (static_cast<float>(source) + 0.5f) / slotInfo(MOD_SOURCE_TAG[row]).scale);
}

void TModDisplay::chooseDestination(int row, const CPoint& where) {
    APlugin* fx = effectOf(this);
    if (!fx) return;
    // Block destinations are named after what the Blocks are now.
    char names[MOD_DESTINATION_COUNT][NAME_BUFFER_SIZE];
    const char* titles[MOD_DESTINATION_COUNT];
    for (int d = 0; d < MOD_DESTINATION_COUNT; ++d) {
        fx->getDestinationString(d, false, names[d]);
        titles[d] = names[d];
    }
    const int destination = choose(where, titles, MOD_DESTINATION_COUNT, MOD_DESTINATION_HEADER_STR,
                                   MOD_DESTINATION_START, MOD_DESTINATION_HEADER_COUNT);
    if (destination >= 0)
        fx->setParameter(MOD_DESTINATION_TAG[row],
                         (static_cast<float>(destination) + 0.5f) / slotInfo(MOD_DESTINATION_TAG[row]).scale);
}

bool TModDisplay::isTypeOf(const char* className) const {
    return isClassName(className, "TModDisplay") || CControl::isTypeOf(className);
}
