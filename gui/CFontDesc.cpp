#include <pango/pango.h>

#include <cstdio>

#include "gui/GuiTypes.h"

CFontDesc::CFontDesc(const char* name, CCoord pixels, int fontStyle) : size(pixels), style(fontStyle) {
    std::snprintf(face, sizeof face, "%s", name ? name : "Sans");
}

CFontDesc::CFontDesc(const CFontDesc& other) : CFontDesc(other.face, other.size, other.style) {}

CFontDesc::~CFontDesc() {
    if (description) pango_font_description_free(description);
}

PangoFontDescription* CFontDesc::pangoDescription() const {
    if (description == nullptr) {
        description = pango_font_description_new();
        pango_font_description_set_family(description, face);
        pango_font_description_set_absolute_size(description, size * PANGO_SCALE);
        pango_font_description_set_weight(description,
                                          (style & kBoldFace) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_font_description_set_style(description,
                                         (style & kItalicFace) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    }
    return description;
}

namespace {
CFontDesc veryBig("Verdana", 16);
CFontDesc big("Verdana", 13);
CFontDesc normal("Verdana", 11);
CFontDesc small("Verdana", 10);
CFontDesc smaller("Verdana", 9);
}  // namespace

CFontDesc* const kNormalFontVeryBig = &veryBig;
CFontDesc* const kNormalFontBig = &big;
CFontDesc* const kNormalFont = &normal;
CFontDesc* const kNormalFontSmall = &small;
CFontDesc* const kNormalFontSmaller = &smaller;
