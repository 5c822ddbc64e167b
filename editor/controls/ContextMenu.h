#pragma once

// A pop-up menu built on the spot: entries added in order ("-" a separator, "-G..." a heading),
// shown modally at the pointer, read by the title of the entry chosen, and gone when the
// object goes. The editor's context menus and the modulation view's choosers are such menus.

#include <string>

#include "gui/COptionMenu.h"

class CFrame;

class ContextMenu {
public:
    // A menu whose rectangle reaches margin pixels around where (frame coordinates).
    ContextMenu(CFrame* frame, const CPoint& where, int margin);
    ~ContextMenu();
    ContextMenu(const ContextMenu&) = delete;
    ContextMenu& operator=(const ContextMenu&) = delete;

    void add(const char* entry) { root->addEntry(entry); }
    void add(const std::string& entry) { root->addEntry(entry.c_str()); }
    // A sub-menu under title, built like this menu; its entries are added to the result.
    COptionMenu* addSubMenu(const char* title);

    // Shows the menu in the frame and returns once the user chose or dismissed it: the chosen
    // entry's title, empty when nothing was chosen. chosenIn (when given) receives the menu the
    // entry belongs to (this one or a sub-menu; null when dismissed).
    std::string open(COptionMenu** chosenIn = nullptr);

    COptionMenu* menu() const { return root; }

private:
    CFrame* frame;
    CPoint at;
    COptionMenu* root;
};
