#include "gui/x11/X11Popup.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "gui/CDrawContext.h"
#include "gui/COptionMenu.h"
#include "gui/x11/X11Internal.h"
#include "gui/x11/X11Window.h"

namespace tarnwell::gui {

namespace {
PopupObserver& observer() {
    static PopupObserver current;
    return current;
}
}  // namespace

void observePopups(PopupObserver o) { observer() = std::move(o); }

namespace x11 {

namespace {

constexpr int kRowHeight = 20;
constexpr int kSeparatorHeight = 8;
constexpr int kPad = 4;        // above the first row and below the last
constexpr int kTextLeft = 22;  // room for the check mark
constexpr int kTextRight = 22;  // room for the sub-menu arrow
constexpr int kMinWidth = 100;
constexpr long kPopupEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;

const CFontDesc& menuFont() {
    static const CFontDesc font("Verdana", 12);
    return font;
}

constexpr CColor kGround{244, 244, 244, 255};
constexpr CColor kBorder{128, 128, 128, 255};
constexpr CColor kText{0, 0, 0, 255};
constexpr CColor kHeadingText{120, 120, 120, 255};
constexpr CColor kHighlight{48, 96, 192, 255};
constexpr CColor kRule{200, 200, 200, 255};

bool selectable(const COptionMenu& menu, int row) { return menu.isEnabled(row) || menu.getSubMenu(row) != nullptr; }

class Session;

// One open menu level: its window, its picture and the rows it shows.
class Level : public EventTarget {
public:
    Level(Session& owner, COptionMenu& shown, CPoint at);
    ~Level() override { cairo_surface_destroy(picture); }

    void handle(XEvent& event) override;
    void draw();
    CRect screenArea() const { return CRect(origin.x, origin.y, origin.x + width, origin.y + height); }
    // The row at a screen point, or -1.
    int rowAt(CPoint screen) const;
    CRect rowScreenArea(int row) const {
        CRect r = rows[static_cast<size_t>(row)];
        return r.offset(origin.x, origin.y);
    }

    Session& session;
    COptionMenu& menu;
    CPoint origin;
    int width = kMinWidth, height = 2 * kPad;
    std::vector<CRect> rows;
    int highlighted = -1;
    cairo_surface_t* picture = nullptr;
    std::unique_ptr<PictureWindow> window;
};

class Session {
public:
    explicit Session(COptionMenu& menu, CPoint at) : start(at) { open(menu, at); }

    void open(COptionMenu& menu, CPoint at) {
        levels.push_back(std::make_unique<Level>(*this, menu, at));
        Level& level = *levels.back();
        addTarget(level.window->id(), &level);
        if (scope) scope->add(level.window->id());
        level.window->map();
        level.draw();
    }
    void closeFrom(size_t depth) {
        while (levels.size() > depth) levels.pop_back();
    }
    void pointerAt(CPoint screen, bool buttonHeld);
    void press(CPoint screen);
    void release(CPoint screen);
    void key(XKeyEvent& event);
    void choose(Level& level, int row) {
        result = {&level.menu, row};
        done = true;
    }
    // Moves the highlight of the deepest level by step among the rows that can be chosen.
    void stepHighlight(int step);
    void openSubMenuOf(size_t depth, int row);

    std::vector<std::unique_ptr<Level>> levels;
    std::unique_ptr<ModalScope> scope;
    CPoint start;
    bool pressedInside = false;
    bool dragged = false;
    bool done = false;
    MenuChoice result;
};

Level::Level(Session& owner, COptionMenu& shown, CPoint at) : session(owner), menu(shown), origin(at) {
    char title[256];
    int y = kPad;
    for (int i = 0; i < menu.getNbEntries(); ++i) {
        const int h = menu.isSeparator(i) ? kSeparatorHeight : kRowHeight;
        menu.getEntry(i, title);
        width = std::max(width, static_cast<int>(CDrawContext::measure(&menuFont(), title)) + kTextLeft + kTextRight);
        rows.emplace_back(0, y, 0, y + h);
        y += h;
    }
    height = y + kPad;
    for (CRect& r : rows) r.right = width;

    // Keep the level on the screen.
    Display* d = display();
    const int screenW = DisplayWidth(d, DefaultScreen(d)), screenH = DisplayHeight(d, DefaultScreen(d));
    origin.x = std::max(0, std::min(origin.x, screenW - width));
    origin.y = std::max(0, std::min(origin.y, screenH - height));
    picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    window = std::make_unique<PictureWindow>(origin.x, origin.y, width, height, true, kPopupEvents);
}

int Level::rowAt(CPoint screen) const {
    const CPoint local(screen.x - origin.x, screen.y - origin.y);
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].pointInside(local)) return static_cast<int>(i);
    return -1;
}

void Level::draw() {
    cairo_t* cr = cairo_create(picture);
    {
        CDrawContext context(cr);
        context.setFont(&menuFont());
        context.setFillColor(kGround);
        context.fillRect(CRect(0, 0, width, height));
        context.setFrameColor(kBorder);
        context.drawRect(CRect(0, 0, width, height));
        const long current = (menu.getStyle() & COptionMenu::kCheckStyle) ? menu.getCurrent() : -1;
        char title[256];
        for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
            const CRect& row = rows[static_cast<size_t>(i)];
            if (menu.isSeparator(i)) {
                context.setFrameColor(kRule);
                context.moveTo(CPoint(4, (row.top + row.bottom) / 2));
                context.lineTo(CPoint(width - 5, (row.top + row.bottom) / 2));
                continue;
            }
            const bool lit = i == highlighted;
            if (lit) {
                context.setFillColor(kHighlight);
                context.fillRect(CRect(1, row.top, width - 1, row.bottom));
            }
            context.setFontColor(lit ? kWhiteCColor : selectable(menu, i) ? kText : kHeadingText);
            menu.getEntry(i, title);
            context.drawString(title, CRect(kTextLeft, row.top, width - kTextRight, row.bottom), kLeftText);
            if (i == current) context.drawString("\u2713", CRect(0, row.top, kTextLeft, row.bottom));
            if (menu.getSubMenu(i)) context.drawString("\u25b8", CRect(width - kTextRight, row.top, width, row.bottom));
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(picture);
    window->present(picture, CRect(0, 0, width, height));
}

void Level::handle(XEvent& event) {
    switch (event.type) {
        case Expose:
            window->present(picture, CRect(0, 0, width, height));
            break;
        case MotionNotify:
            session.pointerAt(CPoint(event.xmotion.x_root, event.xmotion.y_root),
                              (event.xmotion.state & (Button1Mask | Button3Mask)) != 0);
            break;
        case ButtonPress:
            session.press(CPoint(event.xbutton.x_root, event.xbutton.y_root));
            break;
        case ButtonRelease:
            session.release(CPoint(event.xbutton.x_root, event.xbutton.y_root));
            break;
        case KeyPress:
            session.key(event.xkey);
            break;
        default:
            break;
    }
}

void Session::openSubMenuOf(size_t depth, int row) {
    Level& level = *levels[depth];
    COptionMenu* sub = level.menu.getSubMenu(row);
    if (sub == nullptr) return;
    if (levels.size() > depth + 1 && &levels[depth + 1]->menu == sub) return;
    closeFrom(depth + 1);
    const CRect r = level.rowScreenArea(row);
    CPoint at(r.right - 2, r.top - kPad);
    open(*sub, at);
    Level& opened = *levels.back();
    // No room on the right: open on the left of the parent.
    if (opened.origin.x < r.right - 2) {
        opened.origin.x = std::max(0, level.origin.x - opened.width + 2);
        XMoveWindow(display(), opened.window->id(), opened.origin.x, opened.origin.y);
    }
}

void Session::pointerAt(CPoint screen, bool buttonHeld) {
    if (std::abs(screen.x - start.x) > 3 || std::abs(screen.y - start.y) > 3) dragged = dragged || buttonHeld;
    for (size_t depth = levels.size(); depth-- > 0;) {
        Level& level = *levels[depth];
        if (!level.screenArea().pointInside(screen)) continue;
        int row = level.rowAt(screen);
        if (row >= 0 && !selectable(level.menu, row)) row = -1;
        if (row != level.highlighted) {
            level.highlighted = row;
            level.draw();
        }
        if (row >= 0 && level.menu.getSubMenu(row))
            openSubMenuOf(depth, row);
        else if (row >= 0)
            closeFrom(depth + 1);
        return;
    }
}

void Session::press(CPoint screen) {
    for (auto& level : levels)
        if (level->screenArea().pointInside(screen)) {
            pressedInside = true;
            return;
        }
    done = true;  // a press anywhere else dismisses
}

void Session::release(CPoint screen) {
    // The release of the press that opened the menu chooses nothing unless the pointer was
    // dragged onto an entry.
    if (!pressedInside && !dragged) return;
    for (size_t depth = levels.size(); depth-- > 0;) {
        Level& level = *levels[depth];
        if (!level.screenArea().pointInside(screen)) continue;
        const int row = level.rowAt(screen);
        if (row >= 0 && level.menu.isEnabled(row)) choose(level, row);
        return;
    }
}

void Session::stepHighlight(int step) {
    Level& level = *levels.back();
    const int count = level.menu.getNbEntries();
    int row = level.highlighted;
    for (int tried = 0; tried < count; ++tried) {
        row = row < 0 ? (step > 0 ? 0 : count - 1) : (row + step + count) % count;
        if (selectable(level.menu, row)) {
            level.highlighted = row;
            level.draw();
            return;
        }
    }
}

void Session::key(XKeyEvent& event) {
    KeySym symbol = NoSymbol;
    char text[8];
    XLookupString(&event, text, sizeof text, &symbol, nullptr);
    Level& level = *levels.back();
    switch (symbol) {
        case XK_Up: stepHighlight(-1); break;
        case XK_Down: stepHighlight(+1); break;
        case XK_Left:
            if (levels.size() > 1) closeFrom(levels.size() - 1);
            break;
        case XK_Right:
        case XK_Return:
        case XK_KP_Enter:
        case XK_space:
            if (level.highlighted < 0) break;
            if (level.menu.getSubMenu(level.highlighted)) {
                openSubMenuOf(levels.size() - 1, level.highlighted);
                stepHighlight(+1);
            } else if (symbol != XK_Right) {
                choose(level, level.highlighted);
            }
            break;
        case XK_Escape:
            if (levels.size() > 1)
                closeFrom(levels.size() - 1);
            else
                done = true;
            break;
        default:
            break;
    }
}

// The pointer and keyboard go to the pop-up until it closes; a grab can fail while another
// client holds one, so it is tried for a moment.
void grab(::Window window) {
    Display* d = display();
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int pointer = XGrabPointer(d, window, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                         GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (pointer == GrabSuccess) break;
        RunLoop::runOnce(10);
    }
    XGrabKeyboard(d, window, False, GrabModeAsync, GrabModeAsync, CurrentTime);
}

}  // namespace

MenuChoice runPopup(COptionMenu& menu, CPoint at) {
    Display* d = display();
    if (d == nullptr) return {};
    Session session(menu, at);
    Level& root = *session.levels.front();
    session.scope = std::make_unique<ModalScope>(std::vector<::Window>{root.window->id()});
    grab(root.window->id());
    if (observer()) {
        std::vector<CRect> areas;
        for (int i = 0; i < menu.getNbEntries(); ++i) areas.push_back(root.rowScreenArea(i));
        observer()(menu, areas);
    }
    RunLoop::runUntil([&] { return session.done; });
    XUngrabPointer(d, CurrentTime);
    XUngrabKeyboard(d, CurrentTime);
    session.closeFrom(0);
    XFlush(d);
    return session.result;
}

}  // namespace x11
}  // namespace tarnwell::gui
