#pragma once

// Pop-up menus as override-redirect windows: one per open level, the pointer and keyboard
// grabbed while they are up.

#include "gui/Platform.h"

namespace tarnwell::gui::x11 {

// Shows menu with its corner at `at` (screen coordinates), its text and rows scale times their
// 100 % size, and returns the choice once made.
MenuChoice runPopup(COptionMenu& menu, CPoint at, float scale);

}  // namespace tarnwell::gui::x11
