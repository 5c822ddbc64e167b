#include "editor/controls/EditorStyle.h"

namespace {
// "Verdanaial" stands as the shared definitions name it; fontconfig finds the sans face for it.
CFontDesc verdanaSmall("Verdana", 10);
CFontDesc verdanaLarge("Verdana", 14);
CFontDesc verySmaller("Verdana", 9);
CFontDesc verySmallerBig("Verdanaial", 12);
CFontDesc managerSmall("Verdana", 10);
CFontDesc managerBig("Verdanaial", 13);
CFontDesc veryBiggger("Verdanaial", 15);
}  // namespace

CFontDesc* const gVerdanaSmall = &verdanaSmall;
CFontDesc* const gVerdanaLarge = &verdanaLarge;
CFontDesc* const gNormalFontVerySmaller = &verySmaller;
CFontDesc* const gNormalFontVerySmallerBig = &verySmallerBig;
CFontDesc* const gNormalFontManagerSmall = &managerSmall;
CFontDesc* const gNormalFontManagerBig = &managerBig;
CFontDesc* const gNormalFontVeryBiggger = &veryBiggger;

const CFontDesc* menuFont(int guiSize) {
    return guiSize <= 0 ? kNormalFontSmall : guiSize == 1 ? kNormalFontVeryBig : gNormalFontVeryBiggger;
}

const CFontDesc* arrowFont(int guiSize) {
    return guiSize <= 0 ? kNormalFont : guiSize == 1 ? kNormalFontVeryBig : gNormalFontVeryBiggger;
}

const CFontDesc* readoutFont(int guiSize, bool smallFont) {
    if (guiSize <= 0) return smallFont ? kNormalFontSmaller : kNormalFontSmall;
    if (guiSize == 1) return smallFont ? kNormalFontBig : kNormalFontVeryBig;
    return smallFont ? kNormalFontVeryBig : gNormalFontVeryBiggger;
}
