#pragma once

// The contrast ratio of two colours as the web's accessibility guidelines define it: from 1:1
// (the same) to 21:1 (black on white). Text a reader must read wants 4.5:1, dimmed text 3:1.

#include <algorithm>
#include <cmath>

namespace tarnwell::test {

inline double relativeLuminance(int red, int green, int blue) {
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(red) + 0.7152 * linear(green) + 0.0722 * linear(blue);
}

// Colours with red, green and blue members of 0..255.
template <class A, class B>
double contrastRatio(const A& a, const B& b) {
    const double la = relativeLuminance(a.red, a.green, a.blue),
                 lb = relativeLuminance(b.red, b.green, b.blue);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The pixel of an area farthest in contrast from its ground: where text is, its own colour
// (at 200 % its strokes are wide enough to have pixels of full coverage).
template <class Pixel, class Colour>
Colour inkOf(const Pixel& pixelAt, int x0, int y0, int x1, int y1, const Colour& ground) {
    Colour best = ground;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const Colour c = pixelAt(x, y);
            if (contrastRatio(c, ground) > contrastRatio(best, ground)) best = c;
        }
    return best;
}

}  // namespace tarnwell::test
