// Developer tool: composes the editor window from the generated bitmaps the way the editor will
// draw it (panels in their containers, knob frames, button states, menu and readout texts), so
// the artwork can be judged as a whole.
// Usage: tarnwell_artpreview RESOURCES OUT.png [--scale 0|1|2] [--panels 51,58,60] [--path 0..5]
//                            [--settings] [--crop x,y,w,h] [--zoom n]

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "resources/Artwork.h"

using namespace art;

namespace {

// Stock font sizes proposed for the editor, in pixels (smaller 9, small 10, normal 11, big 13,
// very big 16; the 200 % face 15): knob readouts use the small ones, option menus the larger
// ones, the XY pad's readout and the modulation view smaller, normal and big.
const double READOUT_PX[3] = {9, 13, 16};
const double MENU_PX[3] = {10, 16, 15};
const double VIEW_PX[3] = {9, 11, 13};

class Preview {
public:
    Preview(std::string folder, const Scale& scale, Canvas& canvas)
        : folder_(std::move(folder)), s_(scale), c_(canvas) {}
    ~Preview() {
        for (auto& [k, surface] : cache_) cairo_surface_destroy(surface);
    }

    cairo_surface_t* bitmap(int k) {
        auto it = cache_.find(k);
        if (it != cache_.end()) return it->second;
        const std::string path = folder_ + "/" + std::to_string(resourceId(k, s_.index)) + ".png";
        cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            std::exit(1);
        }
        cache_[k] = surface;
        return surface;
    }

    // Part of a bitmap: `row` selects a frame of `rowH` pixels.
    void blit(int k, int x, int y, int row = 0, int rowH = 0) {
        cairo_surface_t* b = bitmap(k);
        const int w = cairo_image_surface_get_width(b);
        const int h = rowH ? rowH : cairo_image_surface_get_height(b);
        cairo_t* cr = c_.cr();
        cairo_save(cr);
        cairo_rectangle(cr, x, y, w, h);
        cairo_clip(cr);
        cairo_set_source_surface(cr, b, x, y - row * h);
        cairo_paint(cr);
        cairo_restore(cr);
    }

    void placed(const Placed& p, int originX, int originY, int baseX, int baseY, bool on) {
        const PxRect r = placedRect(p, s_, originX, originY);
        const BitmapSpec& sp = spec(p.bitmap);
        if (sp.stack == Stack::TwoState)
            blit(p.bitmap, baseX + r.x, baseY + r.y, on ? 1 : 0, r.h);
        else
            blit(p.bitmap, baseX + r.x, baseY + r.y);
    }

    void knob(const Knob& k, int originX, int originY, int baseX, int baseY, double value,
              const std::string& text, bool dim = false) {
        const PxRect r = knobRect(k, s_, originX, originY);
        const int frame = static_cast<int>(std::lround(value * (KNOB_FRAMES - 1)));
        blit(BMP_KNOB_FIRST + k.type, baseX + r.x, baseY + r.y, frame, r.h);
        PxRect t = readoutRect(k, s_, originX, originY);
        t.x += baseX;
        t.y += baseY;
        pixelText(text, t, READOUT_PX[s_.index], dim ? palette::DARK_TURQUOISE : palette::TURQUOISE,
                  Align::Centre);
    }

    void menu(const Menu& m, int originX, int originY, int baseX, int baseY, const std::string& text,
              bool arrows = true) {
        PxRect r = menuRect(m, s_, originX, originY);
        r.x += baseX;
        r.y += baseY;
        pixelText(text, {r.x, r.y, r.w - 1, r.h - 1}, MENU_PX[s_.index], palette::TURQUOISE, Align::Centre);
        if (arrows) {
            pixelText("<", {r.x, r.y, 20, r.h - 1}, MENU_PX[s_.index], palette::DELTA, Align::Left);
            pixelText(">", {r.x + r.w - 20, r.y, 19, r.h - 1}, MENU_PX[s_.index], palette::DELTA,
                      Align::Right);
        }
    }

    void pixelText(const std::string& text, const PxRect& r, double px, Colour colour, Align align) {
        c_.text(text, r.x, r.y, r.w, r.h, Font{px / static_cast<double>(s_.factor)}, colour, align);
    }

private:
    std::string folder_;
    Scale s_;
    Canvas& c_;
    std::map<int, cairo_surface_t*> cache_;
};

std::string readoutFor(const std::string& caption, double v) {
    static const std::map<std::string, std::string> samples = {
        {"Freq", "1.2Khz"}, {"Pan", "Center"},      {"Mix", "Equal"},        {"Volume", "0dB"},
        {"Left", "250ms"},  {"Right", "375ms"},     {"Low Pass", "12.0Khz"}, {"High Pass", "80hz"},
        {"Boost", "6dB"},   {"Threshold", "-24dB"}, {"Hold", "128ms"},       {"Speed", "x1"},
        {"Semi", "7sm"},    {"Fine", "0c"},         {"Write", "64ms"},       {"Length", "48%"},
        {"Bits", "8Bits"},  {"Rate", "11.0Khz"},    {"Wave", "Tri"},         {"Vowel", "A"},
        {"Gain", "4dB"}};
    if (caption.rfind("None", 0) == 0) return "-";
    auto it = samples.find(caption);
    if (it != samples.end()) return it->second;
    return std::to_string(static_cast<int>(v * 100)) + "%";
}

double valueFor(const Knob& k, int block) {
    return std::fmod((k.x * 7 + k.y * 13 + block * 29) * 0.0137, 1.0);
}

std::vector<int> parseList(const char* text) {
    std::vector<int> values;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) values.push_back(std::atoi(item.c_str()));
    return values;
}

void composeMain(Preview& p, Canvas& c, const Scale& s, const std::vector<int>& panels, int path) {
    p.blit(BMP_BACKGROUND, 0, 0);
    const MainLayout& main = mainLayout();
    for (const Placed& b : main.buttons) {
        int k = b.bitmap;
        Placed shown = b;
        if (k == BMP_PATH_FIRST) shown.bitmap = BMP_PATH_FIRST + path;
        if (k == BMP_LAMP_CLEAN) shown.bitmap = BMP_LAMP_EDITED;
        const bool on = k == BMP_DELAY_ON || (k == BMP_TOGGLE && b.x == 969);
        p.placed(shown, 0, 0, 0, 0, on);
    }
    const PxRect preset = placedRect(main.buttons[0], s);
    p.pixelText("Glass Corridor", {preset.x, preset.y, preset.w - 1, preset.h - 1}, MENU_PX[s.index],
                palette::TURQUOISE, Align::Left);
    const PxRect bank = placedRect(main.buttons[1], s);
    p.pixelText("Introduction Bank", {bank.x, bank.y, bank.w - 1, bank.h - 1}, MENU_PX[s.index],
                palette::TURQUOISE, Align::Left);
    for (const Knob& k : main.knobs)
        p.knob(k, 0, 0, 0, 0, valueFor(k, 0), readoutFor(k.caption, valueFor(k, 0)));
    const char* pathNames[6] = {"Delay > B1 > B2 > B3", "B1 > Delay > B2 > B3", "B1 > B2 > Delay > B3",
                                "B1 > B2 > B3 > Delay", "Delay > Parallel",     "Parallel > Delay"};
    p.menu(main.menus[0], 0, 0, 0, 0, pathNames[path]);
    p.menu(main.menus[1], 0, 0, 0, 0, main.menus[1].sample);

    const char* typeNames[7] = {"Off", "Filter", "Comb", "Shaper", "Room", "Gater", "Grain"};
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const int panel = panels[b];
        const PanelLayout& layout = panelLayout(panel);
        const int type = panel == 50 ? 0 : panel <= 53 ? 1 : panel == 54 ? 2 : panel <= 57 ? 3 : panel - 54;
        const int baseX = s.px(blockLeft(b));
        const int baseY = s.px(BLOCK_TOP);
        p.blit(panel, baseX, baseY);
        for (const Menu& m : layout.menus) p.menu(m, 0, 0, baseX, baseY, m.sample);
        for (const Placed& btn : layout.buttons) p.placed(btn, 0, 0, baseX, baseY, btn.bitmap == BMP_TOGGLE);
        const bool serialArrow = path <= 3 && b < 2;
        for (const Knob& k : layout.knobs) {
            const double v = valueFor(k, b);
            const bool dim =
                (layout.dimSpread && k.caption == "Spread") || (serialArrow && k.caption == "Pan");
            p.knob(k, 0, 0, baseX, baseY, v, readoutFor(k.caption, v), dim);
        }
        p.placed({CONNECTOR_X, CONNECTOR_Y, serialArrow ? BMP_CONNECTOR_ARROW : BMP_CONNECTOR_PLAIN}, 0, 0,
                 baseX, baseY, false);
        if (layout.gaterGrid) {
            const int cellH = static_cast<int>(10 * s.factor);
            for (int row = 0; row < 2; ++row) {
                const int left = baseX + s.px(GATER_ROWS[row].x);
                const int top = baseY + s.px(GATER_ROWS[row].y);
                const int width = s.px(GATER_ROWS[row].w);
                for (int i = 0; i < 12; ++i) {
                    const int x0 = left + static_cast<int>(i / 16.0 * (width - 1));
                    const int x1 = left + static_cast<int>((i + 1) / 16.0 * (width - 1));
                    const bool on = ((i * 5 + row * 3) % 7) < 4;
                    c.fillRect(x0, top, x1 - x0, cellH, on ? rgb(2, 194, 180) : palette::GATER_OFF);
                    cairo_rectangle(c.cr(), x0 + 0.5, top + 0.5, x1 - x0, cellH);
                    cairo_set_source_rgb(c.cr(), 17 / 255.0, 22 / 255.0, 23 / 255.0);
                    cairo_set_line_width(c.cr(), 1);
                    cairo_stroke(c.cr());
                    if (i == 5) c.text("-", x0, top, x1 - x0, cellH, Font{8}, rgb(255, 255, 255));
                }
            }
        }
        // XY pad: a grid, a path and the cursor.
        const int padX = baseX + s.px(XY_PAD.x);
        const int padY = baseY + s.px(XY_PAD.y);
        const int padW = s.px(XY_PAD.w);
        const int padH = s.px(XY_PAD.h);
        if (b == 1) {
            for (int i = 0; i <= 8; ++i) {
                c.fillRect(padX + (padW - 1) * i / 8, padY, 1, padH, palette::DARK_TURQUOISE);
                c.fillRect(padX, padY + (padH - 1) * i / 8, padW, 1, palette::DARK_TURQUOISE);
            }
        }
        if (b == 2) {
            cairo_t* cr = c.cr();
            for (int i = 0; i <= 16; ++i) {
                const double a = i / 16.0 * 2 * M_PI;
                const double x = padX + padW * (0.5 + 0.35 * std::cos(a));
                const double y = padY + padH * (0.5 + 0.35 * std::sin(a));
                if (i == 0)
                    cairo_move_to(cr, x, y);
                else
                    cairo_line_to(cr, x, y);
            }
            cairo_set_source_rgb(cr, 1 / 255.0, 205 / 255.0, 190 / 255.0);
            cairo_set_line_width(cr, 1);
            cairo_stroke(cr);
            for (int i = 0; i < 16; ++i) {
                const double a = i / 16.0 * 2 * M_PI;
                c.ring(padX + padW * (0.5 + 0.35 * std::cos(a)), padY + padH * (0.5 + 0.35 * std::sin(a)),
                       4 * s.factor, 1, palette::TURQUOISE);
            }
        }
        const int cw = cairo_image_surface_get_width(p.bitmap(BMP_XY_CURSOR));
        p.blit(BMP_XY_CURSOR, padX + static_cast<int>(padW * (0.3 + 0.2 * b)) - cw / 2,
               padY + static_cast<int>(padH * (0.6 - 0.15 * b)) - cw / 2);
        if (b == 0)
            p.pixelText("X/Y - 30%,40%", {padX, padY, padW, static_cast<int>(10 * s.factor)},
                        VIEW_PX[s.index], palette::TURQUOISE, Align::Right);

        const int originX = BLOCK_STRIDE * b;
        const MainLayout& row = blockRowLayout();
        p.menu(row.menus[0], originX, 0, 0, 0, typeNames[type]);
        for (size_t m = 1; m < row.menus.size(); ++m)
            p.menu(row.menus[m], originX, 0, 0, 0, row.menus[m].sample);
        for (const Knob& k : row.knobs)
            p.knob(k, originX, 0, 0, 0, valueFor(k, b), readoutFor(k.caption, valueFor(k, b)));
        for (size_t i = 0; i < row.buttons.size(); ++i) {
            const Placed& btn = row.buttons[i];
            const bool on =
                (i == 2 + static_cast<size_t>(b) % 3) || (btn.bitmap == BMP_TOGGLE && b == 2 && i == 5);
            p.placed(btn, originX, 0, 0, 0, on);
        }
    }

    // Modulation view texts.
    const PxRect view = {s.px(MOD_VIEW.x), s.px(MOD_VIEW.y), s.px(MOD_VIEW.w), s.px(MOD_VIEW.h)};
    const char* rows[4][4] = {{"1", "Follower", "B1 Flt Freq", "35 %"},
                              {"2", "B2 X", "B3 Room Damp", "-20 %"},
                              {"3", "Mod Wheel", "Delay Feed", "50 %"},
                              {"4", "None", "None", "0 %"}};
    for (int r = 0; r < 4; ++r) {
        int x0 = 0;
        for (int col = 0; col < 4; ++col) {
            const int x1 = MOD_COLUMN_END[s.index][col];
            p.pixelText(rows[r][col],
                        {view.x + x0, view.y + static_cast<int>(r * MOD_ROW_HEIGHT[s.index]), x1 - x0,
                         static_cast<int>(MOD_ROW_HEIGHT[s.index])},
                        VIEW_PX[s.index], r == 3 ? rgb(64, 64, 64) : rgb(255, 255, 255), Align::Centre);
            x0 = x1;
        }
    }
}

void composeSettings(Preview& p, const Scale& s) {
    p.blit(BMP_SETTINGS_PAGE, 0, 0);
    const std::vector<SettingsRow>& rows = settingsRows();
    for (size_t i = 0; i < rows.size(); ++i)
        p.placed({SETTINGS_SWITCH_X, rows[i].y, BMP_TOGGLE}, 0, 0, 0, 0, i <= 3);
    (void)s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s RESOURCES OUT.png [--scale 0|1|2] [--panels a,b,c] [--path n] [--settings]\n",
                     argv[0]);
        return 2;
    }
    int size = 0;
    int path = 3;
    bool settings = false;
    std::vector<int> panels = {BMP_PANEL_FILTER, BMP_PANEL_GATER, BMP_PANEL_GRAIN};
    std::vector<int> crop;
    int zoom = 1;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--scale" && i + 1 < argc)
            size = std::atoi(argv[++i]);
        else if (a == "--panels" && i + 1 < argc)
            panels = parseList(argv[++i]);
        else if (a == "--path" && i + 1 < argc)
            path = std::atoi(argv[++i]);
        else if (a == "--settings")
            settings = true;
        else if (a == "--crop" && i + 1 < argc)
            crop = parseList(argv[++i]);
        else if (a == "--zoom" && i + 1 < argc)
            zoom = std::max(1, std::atoi(argv[++i]));
    }
    const Scale s = scaleOf(size);
    Canvas canvas(s.px(WINDOW_W), s.px(WINDOW_H), false, s);
    {
        Preview p(argv[1], s, canvas);
        if (settings)
            composeSettings(p, s);
        else
            composeMain(p, canvas, s, panels, path);
    }
    if (crop.size() == 4) {
        // A detail, for looking at single pixels.
        Canvas part(crop[2] * zoom, crop[3] * zoom, false, s);
        cairo_scale(part.cr(), zoom, zoom);
        cairo_set_source_surface(part.cr(), canvas.surface(), -crop[0], -crop[1]);
        cairo_pattern_set_filter(cairo_get_source(part.cr()), CAIRO_FILTER_NEAREST);
        cairo_paint(part.cr());
        return part.writePng(argv[2]) ? 0 : 1;
    }
    if (!canvas.writePng(argv[2])) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
