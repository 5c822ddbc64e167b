#include "gui/COptionMenu.h"

#include <algorithm>
#include <cstring>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/Platform.h"

namespace {
// Titles handed out through char buffers: callers give 256 bytes.
constexpr size_t kTitleBytes = 256;

void copyTitle(char* out, const std::string& title) {
    if (out == nullptr) return;
    const size_t n = std::min(title.size(), kTitleBytes - 1);
    std::memcpy(out, title.data(), n);
    out[n] = '\0';
}
}  // namespace

COptionMenu::COptionMenu(const CRect& rect, CControlListener* owner, long controlTag, CBitmap* bitmap,
                         CBitmap* clickedBitmap, long menuStyle)
    : CParamDisplay(rect, bitmap, menuStyle), backgroundWhenClicked(clickedBitmap) {
    listener = owner;
    tag = controlTag;
    if (backgroundWhenClicked) backgroundWhenClicked->remember();
    updateRange();
}

COptionMenu::COptionMenu(const COptionMenu& other)
    : CParamDisplay(other), entries(other.entries), backgroundWhenClicked(other.backgroundWhenClicked) {
    if (backgroundWhenClicked) backgroundWhenClicked->remember();
    for (Entry& entry : entries)
        if (entry.submenu) entry.submenu->remember();
}

COptionMenu::~COptionMenu() {
    for (Entry& entry : entries)
        if (entry.submenu) entry.submenu->forget();
    if (backgroundWhenClicked) backgroundWhenClicked->forget();
}

COptionMenu::Entry COptionMenu::parseEntry(const char* title) {
    Entry entry;
    if (std::strcmp(title, "-") == 0) {
        entry.separator = true;
    } else if (std::strncmp(title, "-G", 2) == 0) {
        entry.heading = true;
        entry.title = title + 2;
    } else {
        entry.title = title;
    }
    return entry;
}

void COptionMenu::updateRange() {
    vmin = 0.0f;
    vmax = static_cast<float>(std::max(0, getNbEntries() - 1));
}

bool COptionMenu::addEntry(const char* title) {
    if (title == nullptr) return false;
    entries.push_back(parseEntry(title));
    updateRange();
    return true;
}

bool COptionMenu::addEntry(COptionMenu* submenu, const char* title) {
    if (submenu == nullptr) return addEntry(title);
    if (title == nullptr || submenu == this) return false;
    submenu->remember();
    Entry entry;
    entry.title = title;
    entry.submenu = submenu;
    entries.push_back(entry);
    updateRange();
    return true;
}

bool COptionMenu::setEntry(long index, const char* title) {
    if (title == nullptr || index < 0 || index >= getNbEntries()) return false;
    Entry& entry = entries[static_cast<size_t>(index)];
    if (entry.submenu) entry.submenu->forget();
    entry = parseEntry(title);
    setDirty(true);
    return true;
}

long COptionMenu::getCurrent(char* out, bool countSeparators) const {
    const float v = getValue();
    const long index = v >= 0.0f ? static_cast<long>(v) : -1;
    if (index < 0 || index >= getNbEntries()) {
        if (out) out[0] = '\0';
        return -1;
    }
    copyTitle(out, entries[static_cast<size_t>(index)].title);
    if (countSeparators) return index;
    const auto separators =
        std::count_if(entries.begin(), entries.begin() + index, [](const Entry& e) { return e.separator; });
    return index - static_cast<long>(separators);
}

bool COptionMenu::getEntry(long index, char* out) const {
    if (index < 0 || index >= getNbEntries()) {
        if (out) out[0] = '\0';
        return false;
    }
    copyTitle(out, entries[static_cast<size_t>(index)].title);
    return true;
}

bool COptionMenu::isSeparator(long index) const {
    return index >= 0 && index < getNbEntries() && entries[static_cast<size_t>(index)].separator;
}

bool COptionMenu::isEnabled(long index) const {
    if (index < 0 || index >= getNbEntries()) return false;
    const Entry& entry = entries[static_cast<size_t>(index)];
    return !entry.separator && !entry.heading && entry.submenu == nullptr;
}

COptionMenu* COptionMenu::getSubMenu(long index) const {
    return index >= 0 && index < getNbEntries() ? entries[static_cast<size_t>(index)].submenu : nullptr;
}

COptionMenu* COptionMenu::getLastItemMenu(long& indexInMenu) const {
    indexInMenu = lastIndex;
    return lastMenu;
}

void COptionMenu::applyChoice(COptionMenu* menu, int index) {
    // Only an entry of this menu or of one of its sub-menus counts, and only a choosable one.
    const auto belongs = [this](const COptionMenu* candidate) {
        if (candidate == this) return true;
        return std::any_of(entries.begin(), entries.end(),
                           [&](const Entry& e) { return e.submenu == candidate; });
    };
    lastMenu = nullptr;
    lastIndex = -1;
    if (menu == nullptr || !belongs(menu) || !menu->isEnabled(index)) return;
    lastMenu = menu;
    lastIndex = index;
    menu->setValue(static_cast<float>(index));
    if (menu->listener) menu->listener->valueChanged(menu);
}

void COptionMenu::takeFocus() {
    CFrame* f = getFrame();
    if (f == nullptr) {
        applyChoice(nullptr, -1);
        endEdit();
        return;
    }
    CPoint at(size.left, size.bottom);
    if (style & kPopupStyle)
        f->getCurrentLocation(at);
    else
        localToFrame(at);
    open = true;
    setDirty(true);
    f->setFocusView(this);
    f->modalLoopRan();
    const tarnwell::gui::MenuChoice choice = f->platform()->popUp(*this, at);
    open = false;
    setDirty(true);
    if (f->getFocusView() == this) f->setFocusView(nullptr);
    applyChoice(choice.menu, choice.index);
    endEdit();
}

CMouseEventResult COptionMenu::onMouseDown(CPoint&, const long& buttons) {
    lastButton = buttons;
    if (listener && (buttons & kModifierMask) && listener->controlModifierClicked(this, buttons) != 0)
        return kMouseEventHandled;
    if (buttons & (kLButton | kRButton | kCommand)) {
        beginEdit();
        takeFocus();
    }
    return kMouseEventHandled;
}

void COptionMenu::draw(CDrawContext* context) {
    CBitmap* bitmap = (open && backgroundWhenClicked) ? backgroundWhenClicked : background;
    if (bitmap) bitmap->draw(context, size);
    if (style & kNoTextStyle) return;
    char title[kTitleBytes];
    if (getCurrent(title) >= 0) drawText(context, title);
}

bool COptionMenu::isTypeOf(const char* className) const {
    return (className && std::strcmp(className, "COptionMenu") == 0) || CParamDisplay::isTypeOf(className);
}
