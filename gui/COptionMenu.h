#pragma once

// A control that opens a pop-up menu of entries; its value is the index of the chosen entry.
//
// Entries: a title "-" is a separator; a title starting "-G" is a heading, shown without the
// "-G" and never choosable; any other title is a plain entry. An entry may carry one level of
// sub-menu, attached with a title; the menu keeps (remembers) its sub-menus.
//
// Opening: a press with the left or right button or command (after the listener's
// modifier-click hook, when the press carries modifiers) begins an edit and takes the focus,
// which opens the pop-up modally: takeFocus returns only once an entry was chosen or the menu
// dismissed. A choice in this menu sets its value to the entry's index and tells its listener;
// a choice in a sub-menu sets the sub-menu's value and tells the sub-menu's listener. Either way
// the opened menu remembers where the choice was made (getLastItemMenu). The edit ends when the
// pop-up closes; a dismissed menu changes nothing.
//
// Styles: kNoTextStyle (512) draws the background only (a subclass draws its text); kCheckStyle
// (2048) marks the current entry in the pop-up; kPopupStyle (4096) opens the pop-up at the
// pointer instead of below the control.

#include <string>
#include <vector>

#include "gui/StandardControls.h"

class COptionMenu : public CParamDisplay {
public:
    static constexpr long kCheckStyle = 2048;
    static constexpr long kPopupStyle = 4096;

    COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background = nullptr,
                CBitmap* backgroundWhenClicked = nullptr, long style = 0);
    COptionMenu(const COptionMenu& other);  // sub-menus are shared, remembered once more
    ~COptionMenu() override;                // forgets the sub-menus

    // Appends an entry; false when title is null.
    bool addEntry(const char* title);
    // Appends an entry opening submenu (remembered) under title.
    bool addEntry(COptionMenu* submenu, const char* title);
    // Gives entry index (0..count-1) a new title by the same rules; false out of range.
    virtual bool setEntry(long index, const char* title);
    int getNbEntries() const { return static_cast<int>(entries.size()); }

    // The current entry (the value as an index): its index, or -1 when the value names no
    // entry; out (when given) receives its title. Without countSeparators, separators before it
    // are not counted.
    long getCurrent(char* out = nullptr, bool countSeparators = true) const;
    // Title of entry index into out; false (out empty) out of range.
    bool getEntry(long index, char* out) const;
    bool isSeparator(long index) const;
    bool isEnabled(long index) const;  // choosable: neither separator, heading nor sub-menu holder
    COptionMenu* getSubMenu(long index) const;

    // Where the last choice was made: this menu or one of its sub-menus, and the index in it;
    // null (and -1) when the last pop-up was dismissed.
    COptionMenu* getLastItemMenu(long& indexInMenu) const;

    // Opens the pop-up now and returns when it closed.
    void takeFocus();

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new COptionMenu(*this); }

    // The toolkit's last mouse button (the press that opened the menu).
    void setLastButton(long buttons) { lastButton = buttons; }
    long getLastButton() const { return lastButton; }

    // The back end reports a choice (or none) here; applies it as described above.
    void applyChoice(COptionMenu* menu, int index);

private:
    struct Entry {
        std::string title;
        bool separator = false;
        bool heading = false;
        COptionMenu* submenu = nullptr;
    };
    static Entry parseEntry(const char* title);
    void updateRange();

    std::vector<Entry> entries;
    CBitmap* backgroundWhenClicked;
    long lastButton = 0;
    COptionMenu* lastMenu = nullptr;
    long lastIndex = -1;
    bool open = false;
};
