#pragma once

// The editor's bitmaps: every picture the layout names, drawn from vectors at each size.

#include <memory>

#include "resources/Canvas.h"
#include "resources/Layout.h"

namespace art {

// Draws bitmap k at a size, in its final pixel size (stacks and strips included).
std::unique_ptr<Canvas> drawBitmap(int k, const Scale& scale);

// Type faces of the artwork, in units.
namespace fonts {
inline const Font CAPTION{9.0};
inline const Font SMALL{8.0};
inline const Font SECTION{10.0, true, 1.4};
inline const Font BUTTON{8.5, true, 0.8};
inline const Font PANEL_TITLE{12.0, true, 1.6};
inline const Font BRAND{25.0, true, 5.0};
}  // namespace fonts

// Parts shared by the pictures.
void drawKnob(Canvas& c, double cx, double cy, double ring, double value, bool bipolar);
void drawKnobStrip(Canvas& c, int type);
void drawStates(Canvas& c, int k);   // the two-state stacks
void drawPicture(Canvas& c, int k);  // single pictures: cursor, connectors, indicator, wells
void drawPath(Canvas& c, int path);
void drawMainBackground(Canvas& c);
void drawSettingsPage(Canvas& c);
void drawPanel(Canvas& c, const PanelLayout& panel);

// Captions of knobs, menus and buttons, at the same pixels the editor gives the controls.
// A caption is fitted between its neighbours on the same line of `row`.
void paintKnobCaption(Canvas& c, const Knob& k, const std::vector<Knob>& row, int originX, int originY,
                      bool dim = false);
void paintMenuWell(Canvas& c, const Menu& m, int originX, int originY);
void paintPlacedCaption(Canvas& c, const Placed& p, int originX, int originY);

}  // namespace art
