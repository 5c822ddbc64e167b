#include "resources/Artwork.h"

namespace art {

std::unique_ptr<Canvas> drawBitmap(int k, const Scale& scale) {
    const BitmapSpec& s = spec(k);
    const Size size = pixelSize(s, scale);
    auto canvas = std::make_unique<Canvas>(size.w, size.h, s.alpha, scale);
    Canvas& c = *canvas;
    if (k == BMP_BACKGROUND)
        drawMainBackground(c);
    else if (k == BMP_SETTINGS_PAGE)
        drawSettingsPage(c);
    else if (k >= BMP_PANEL_OFF && k <= BMP_PANEL_GRAIN)
        drawPanel(c, panelLayout(k));
    else if (k >= BMP_PATH_FIRST && k < BMP_PATH_FIRST + 6)
        drawPath(c, k - BMP_PATH_FIRST);
    else if (s.stack == Stack::Strip)
        drawKnobStrip(c, k - BMP_KNOB_FIRST);
    else if (s.stack == Stack::TwoState)
        drawStates(c, k);
    else
        drawPicture(c, k);
    return canvas;
}

}  // namespace art
