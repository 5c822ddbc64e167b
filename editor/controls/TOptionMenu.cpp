#include "editor/controls/TOptionMenu.h"

#include <cstdio>
#include <cstring>

#include "editor/controls/ControlSupport.h"
#include "editor/controls/EditorStyle.h"
#include "editor/uEditor.h"
#include "effect/APlugin.h"
#include "effect/OptionStrings.h"
#include "gui/CDrawContext.h"

namespace {
// Left-aligned text keeps clear of the well's rim.
constexpr int kTextInset = 4;
}  // namespace

TOptionMenu::TOptionMenu(const CRect& rect, CControlListener* owner, long controlTag, CBitmap* bitmap,
                         CBitmap* bitmapWhenClicked, long menuStyle, int textAlign, bool withArrows,
                         bool thirdFlag)
    : COptionMenu(rect, owner, controlTag, bitmap, bitmapWhenClicked, menuStyle),
      third(thirdFlag),
      arrows(withArrows),
      align(textAlign) {}

void TOptionMenu::setString(const char* newText) {
    std::snprintf(text, sizeof text, "%s", newText ? newText : " ");
    setDirty(true);
}

void TOptionMenu::draw(CDrawContext* context) {
    drawBackground(context);
    if (tag == kNoTextMenu) return;
    uEditor* editor = editorOf(this);
    const int guiSize = editor ? editor->getGuiSize() : 0;

    char shown[128] = {};
    if (text[0] != '\0') {
        std::snprintf(shown, sizeof shown, "%s", text);
    } else if (tag >= XY_SPEED_MOD_SOURCE_TAG[0] && tag <= XY_SPEED_MOD_SOURCE_TAG[BLOCK_COUNT - 1]) {
        // The speed-modulation sources show their short names.
        APlugin* fx = effectOf(this);
        const int source = fx ? fx->getChoice(static_cast<int>(tag)) : 0;
        std::snprintf(shown, sizeof shown, "%s", MOD_SOURCE_SHORT_STR[source]);
    } else if (getNbEntries() > 0) {
        getCurrent(shown, true);
    }

    CRect area = size;
    area.right -= 1;
    area.bottom -= 1;
    const auto textAlign = static_cast<CHoriTxtAlign>(align);
    if (textAlign == kLeftText) area.left += kTextInset;
    context->setFont(menuFont(guiSize));
    context->setFontColor(TURQUOISE_COLOR);
    context->drawString(shown, area, textAlign);

    if (arrows) {
        context->setFont(arrowFont(guiSize));
        context->setFontColor(DELTA_BUTTON_COLOR);
        CRect strip = area;
        strip.right = strip.left + ARROW_STRIP;
        context->drawString("<", strip, kLeftText);
        strip = area;
        strip.left = strip.right - ARROW_STRIP;
        context->drawString(">", strip, kRightText);
    }
}

CMouseEventResult TOptionMenu::onMouseDown(CPoint& where, const long& buttons) {
    uEditor* editor = editorOf(this);
    APlugin* fx = effectOf(this);
    if (!getMouseEnabled() || !fx) return kMouseEventHandled;
    if (arrows && tag != kNoTextMenu) {
        const int x = where.x - size.left;
        if (x > size.getWidth() - ARROW_STRIP) {
            fx->changeDelta(static_cast<int>(tag), 1.0f);
            return kMouseEventHandled;
        }
        if (x < ARROW_STRIP) {
            fx->changeDelta(static_cast<int>(tag), -1.0f);
            return kMouseEventHandled;
        }
    }
    if (!(buttons & kLButton) && tag != kNoParameter) {
        if (buttons & kRButton) editor->showMidiLearnMenu(nullptr, this, where);
        return kMouseEventHandled;
    }
    return COptionMenu::onMouseDown(where, buttons);
}

bool TOptionMenu::isTypeOf(const char* className) const {
    return isClassName(className, "TOptionMenu") || COptionMenu::isTypeOf(className);
}
