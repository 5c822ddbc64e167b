#include "editor/controls/ContextMenu.h"

#include "editor/controls/ControlSupport.h"
#include "gui/CFrame.h"

namespace {
// Opens at the pointer and draws nothing of its own while it sits in the frame.
constexpr long kContextStyle = COptionMenu::kPopupStyle | CParamDisplay::kNoTextStyle;

CRect around(const CPoint& p, int margin) {
    return CRect(p.x - margin, p.y - margin, p.x + margin, p.y + margin);
}
}  // namespace

ContextMenu::ContextMenu(CFrame* owner, const CPoint& where, int margin)
    : frame(owner),
      at(where),
      root(new COptionMenu(around(where, margin), nullptr, kNoParameter, nullptr, nullptr, kContextStyle)) {}

ContextMenu::~ContextMenu() {
    root->forget();
}

COptionMenu* ContextMenu::addSubMenu(const char* title) {
    auto* sub = new COptionMenu(root->getViewSize(), nullptr, kNoParameter, nullptr, nullptr, kContextStyle);
    root->addEntry(sub, title);
    sub->forget();  // the menu keeps it
    return sub;
}

std::string ContextMenu::open(COptionMenu** chosenIn) {
    if (chosenIn) *chosenIn = nullptr;
    if (!frame) return {};
    root->remember();  // the frame's reference, dropped when it is taken out again
    frame->addView(root);
    CPoint where = at;
    root->onMouseDown(where, kLButton);
    frame->setFocusView(nullptr);
    frame->removeView(root, true);

    long index = -1;
    COptionMenu* in = root->getLastItemMenu(index);
    if (chosenIn) *chosenIn = in;
    char title[256] = {};
    if (!in || !in->getEntry(index, title)) return {};
    return title;
}
