#include "gui/x11/X11Popup.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo.h>

#include <algorithm>
#include <cstdint>
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

void observePopups(PopupObserver o) {
    observer() = std::move(o);
}

namespace x11 {

namespace {

// Sizes at 100 %; a menu opened from a frame drawn larger scales them with it.
constexpr int kRowHeight = 20;
constexpr int kSeparatorHeight = 8;
constexpr int kPad = 4;         // above the first row and below the last
constexpr int kTextLeft = 22;   // room for the check mark
constexpr int kTextRight = 22;  // room for the sub-menu arrow
constexpr int kMinWidth = 100;
constexpr int kFontSize = 12;
constexpr int kWheelRows = 3;             // rows a wheel notch scrolls
constexpr double kScrollInterval = 0.04;  // s between scroll steps while the pointer rests on an arrow
constexpr long kPopupEvents =
    ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;

struct Metrics {
    explicit Metrics(float scale)
        : row(scaled(kRowHeight, scale)),
          separator(scaled(kSeparatorHeight, scale)),
          pad(scaled(kPad, scale)),
          textLeft(scaled(kTextLeft, scale)),
          textRight(scaled(kTextRight, scale)),
          minWidth(scaled(kMinWidth, scale)),
          font("Verdana", scaled(kFontSize, scale)) {}
    static int scaled(int units, float scale) { return static_cast<int>(static_cast<float>(units) * scale); }
    int row, separator, pad, textLeft, textRight, minWidth;
    CFontDesc font;
};

constexpr CColor kGround{244, 244, 244, 255};
constexpr CColor kBorder{128, 128, 128, 255};
constexpr CColor kText{0, 0, 0, 255};
constexpr CColor kHeadingText{105, 105, 105, 255};  // 5.0:1 on the ground: headings are read
constexpr CColor kHighlight{48, 96, 192, 255};
constexpr CColor kRule{200, 200, 200, 255};
constexpr CColor kArrowDone{176, 176, 176, 255};  // a scroll arrow with nothing further that way

bool selectable(const COptionMenu& menu, int row) {
    return menu.isEnabled(row) || menu.getSubMenu(row) != nullptr;
}

class Session;

// One open menu level: its window, its picture and the rows it shows. A level taller than the
// screen takes the screen's height and scrolls: its rows show in a band between two arrows,
// and the wheel, the keys and the pointer resting on an arrow move them.
class Level : public EventTarget {
public:
    Level(Session& owner, COptionMenu& shown, CPoint at);
    ~Level() override { cairo_surface_destroy(picture); }

    void handle(XEvent& event) override;
    void draw();
    CRect screenArea() const { return CRect(origin.x, origin.y, origin.x + width, origin.y + height); }
    // The row at a screen point (only where it shows), or -1.
    int rowAt(CPoint screen) const;
    // Where a row shows on the screen: empty while it is scrolled out of view.
    CRect rowScreenArea(int row) const {
        CRect r = rows[static_cast<size_t>(row)];
        r.offset(origin.x, origin.y + bandTop() - offset);
        if (!scrolls) return r;
        const CRect band(origin.x, origin.y + bandTop(), origin.x + width,
                         origin.y + bandTop() + bandHeight());
        return r.top >= band.top && r.bottom <= band.bottom ? r : CRect();
    }
    // The scroll arrow (-1 up, +1 down) at a screen point, or 0.
    int arrowAt(CPoint screen) const {
        if (!scrolls || !screenArea().pointInside(screen)) return 0;
        const int y = screen.y - origin.y;
        return y < bandTop() ? -1 : y >= bandTop() + bandHeight() ? 1 : 0;
    }
    // Scrolls by pixels (down positive), within the rows; true when it moved.
    bool scrollBy(int pixels) {
        const int next = std::clamp(offset + pixels, 0, contentHeight - bandHeight());
        if (!scrolls || next == offset) return false;
        offset = next;
        draw();
        return true;
    }
    // Scrolls as little as shows the whole row.
    void reveal(int row) {
        const CRect& r = rows[static_cast<size_t>(row)];
        if (r.top < offset)
            scrollBy(r.top - offset);
        else if (r.bottom > offset + bandHeight())
            scrollBy(r.bottom - offset - bandHeight());
    }
    int bandTop() const { return scrolls ? metrics.row : 0; }
    int bandHeight() const { return scrolls ? height - 2 * metrics.row : height; }

    Session& session;
    COptionMenu& menu;
    const Metrics& metrics;
    CPoint origin;
    int width, height;
    int contentHeight;  // every row with the pads above and below
    bool scrolls = false;
    int offset = 0;           // pixels of the rows scrolled out above the band
    std::vector<CRect> rows;  // in the rows' own coordinates (0 = the top pad's top)
    int highlighted = -1;
    cairo_surface_t* picture = nullptr;
    std::unique_ptr<PictureWindow> window;
};

class Session {
public:
    Session(COptionMenu& menu, CPoint at, float scale) : start(at), metrics(scale) { open(menu, at); }
    ~Session() { stopScrolling(); }

    void open(COptionMenu& menu, CPoint at) {
        levels.push_back(std::make_unique<Level>(*this, menu, at));
        Level& level = *levels.back();
        addTarget(level.window->id(), &level);
        if (scope) scope->add(level.window->id());
        level.window->map();
        level.draw();
    }
    void closeFrom(size_t depth) {
        if (scrollDepth >= depth) stopScrolling();
        while (levels.size() > depth) levels.pop_back();
    }
    void pointerAt(CPoint screen, bool buttonHeld);
    void press(CPoint screen);
    void release(CPoint screen);
    void key(XKeyEvent& event);
    // A wheel notch (-1 up, +1 down) over the pop-up scrolls the level under the pointer.
    void wheel(CPoint screen, int direction);
    void choose(Level& level, int row) {
        result = {&level.menu, row};
        done = true;
    }
    // Moves the highlight of the deepest level by step among the rows that can be chosen.
    void stepHighlight(int step);
    void openSubMenuOf(size_t depth, int row);
    // Scrolling while the pointer rests on a level's arrow.
    void scrollWhileOn(size_t depth, int direction);
    void stopScrolling() {
        if (scrollTimer) RunLoop::removeTimer(scrollTimer);
        scrollTimer = 0;
        scrollDepth = SIZE_MAX;
    }
    // The level a screen point is over (the deepest first), or null.
    Level* levelAt(CPoint screen, size_t* depthOut = nullptr) {
        for (size_t depth = levels.size(); depth-- > 0;)
            if (levels[depth]->screenArea().pointInside(screen)) {
                if (depthOut) *depthOut = depth;
                return levels[depth].get();
            }
        return nullptr;
    }

    std::vector<std::unique_ptr<Level>> levels;
    std::unique_ptr<ModalScope> scope;
    CPoint start;
    Metrics metrics;
    bool pressedInside = false;
    bool dragged = false;
    bool done = false;
    MenuChoice result;
    int scrollTimer = 0;
    size_t scrollDepth = SIZE_MAX;
    int scrollDirection = 0;
};

Session* openSession = nullptr;  // the pop-up up now, for tests

Level::Level(Session& owner, COptionMenu& shown, CPoint at)
    : session(owner), menu(shown), metrics(owner.metrics), origin(at), width(owner.metrics.minWidth) {
    char title[256];
    int y = metrics.pad;
    for (int i = 0; i < menu.getNbEntries(); ++i) {
        const int h = menu.isSeparator(i) ? metrics.separator : metrics.row;
        menu.getEntry(i, title);
        width = std::max(width, static_cast<int>(CDrawContext::measure(&metrics.font, title)) +
                                    metrics.textLeft + metrics.textRight);
        rows.emplace_back(0, y, 0, y + h);
        y += h;
    }
    contentHeight = y + metrics.pad;
    height = contentHeight;
    for (CRect& r : rows) r.right = width;

    // Keep the level on the screen; taller than the screen, it scrolls.
    Display* d = display();
    const int screenW = DisplayWidth(d, DefaultScreen(d)), screenH = DisplayHeight(d, DefaultScreen(d));
    if (height > screenH) {
        scrolls = true;
        height = screenH;
    }
    origin.x = std::max(0, std::min(origin.x, screenW - width));
    origin.y = std::max(0, std::min(origin.y, screenH - height));
    picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    window = std::make_unique<PictureWindow>(origin.x, origin.y, width, height, true, kPopupEvents);
}

int Level::rowAt(CPoint screen) const {
    if (arrowAt(screen) != 0) return -1;
    const CPoint local(screen.x - origin.x, screen.y - origin.y - bandTop() + offset);
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].pointInside(local)) return static_cast<int>(i);
    return -1;
}

void Level::draw() {
    cairo_t* cr = cairo_create(picture);
    {
        CDrawContext context(cr);
        context.setFont(&metrics.font);
        context.setFillColor(kGround);
        context.fillRect(CRect(0, 0, width, height));
        const long current = (menu.getStyle() & COptionMenu::kCheckStyle) ? menu.getCurrent() : -1;
        char title[256];
        cairo_save(cr);
        cairo_rectangle(cr, 0, bandTop(), width, bandHeight());
        cairo_clip(cr);
        const int shift = bandTop() - offset;
        for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
            CRect row = rows[static_cast<size_t>(i)];
            row.offset(0, shift);
            if (row.bottom <= 0 || row.top >= height) continue;
            if (menu.isSeparator(i)) {
                context.setFrameColor(kRule);
                context.moveTo(CPoint(metrics.pad, (row.top + row.bottom) / 2));
                context.lineTo(CPoint(width - metrics.pad - 1, (row.top + row.bottom) / 2));
                continue;
            }
            const bool lit = i == highlighted;
            if (lit) {
                context.setFillColor(kHighlight);
                context.fillRect(CRect(1, row.top, width - 1, row.bottom));
            }
            context.setFontColor(lit ? kWhiteCColor : selectable(menu, i) ? kText : kHeadingText);
            menu.getEntry(i, title);
            context.drawString(title, CRect(metrics.textLeft, row.top, width - metrics.textRight, row.bottom),
                               kLeftText);
            if (i == current) context.drawString("\u2713", CRect(0, row.top, metrics.textLeft, row.bottom));
            if (menu.getSubMenu(i))
                context.drawString("\u25b8", CRect(width - metrics.textRight, row.top, width, row.bottom));
        }
        cairo_restore(cr);
        if (scrolls) {
            const int below = bandTop() + bandHeight();
            context.setFontColor(offset > 0 ? kText : kArrowDone);
            context.drawString("\u25b2", CRect(0, 0, width, bandTop()));
            context.setFontColor(offset < contentHeight - bandHeight() ? kText : kArrowDone);
            context.drawString("\u25bc", CRect(0, below, width, height));
            context.setFrameColor(kRule);
            context.moveTo(CPoint(1, bandTop()));
            context.lineTo(CPoint(width - 2, bandTop()));
            context.moveTo(CPoint(1, below - 1));
            context.lineTo(CPoint(width - 2, below - 1));
        }
        context.setFrameColor(kBorder);
        context.drawRect(CRect(0, 0, width, height));
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
            if (event.xbutton.button == Button4 || event.xbutton.button == Button5)
                session.wheel(CPoint(event.xbutton.x_root, event.xbutton.y_root),
                              event.xbutton.button == Button4 ? -1 : 1);
            else
                session.press(CPoint(event.xbutton.x_root, event.xbutton.y_root));
            break;
        case ButtonRelease:
            if (event.xbutton.button != Button4 && event.xbutton.button != Button5)
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
    CPoint at(r.right - 2, r.top - metrics.pad);
    open(*sub, at);
    Level& opened = *levels.back();
    // No room on the right: open on the left of the parent.
    if (opened.origin.x < r.right - 2) {
        opened.origin.x = std::max(0, level.origin.x - opened.width + 2);
        XMoveWindow(display(), opened.window->id(), opened.origin.x, opened.origin.y);
    }
}

void Session::scrollWhileOn(size_t depth, int direction) {
    if (scrollTimer && scrollDepth == depth && scrollDirection == direction) return;
    stopScrolling();
    scrollDepth = depth;
    scrollDirection = direction;
    scrollTimer = RunLoop::addTimer(kScrollInterval, [this] {
        if (scrollDepth < levels.size() && !levels[scrollDepth]->scrollBy(scrollDirection * metrics.row / 2))
            stopScrolling();
    });
}

void Session::wheel(CPoint screen, int direction) {
    size_t depth = 0;
    Level* level = levelAt(screen, &depth);
    if (level == nullptr && !levels.empty()) {
        depth = levels.size() - 1;
        level = levels.back().get();
    }
    if (level && level->scrollBy(direction * kWheelRows * metrics.row)) {
        closeFrom(depth + 1);
        level->highlighted = -1;
        pointerAt(screen, false);
        level->draw();
    }
}

void Session::pointerAt(CPoint screen, bool buttonHeld) {
    if (std::abs(screen.x - start.x) > 3 || std::abs(screen.y - start.y) > 3) dragged = dragged || buttonHeld;
    const Level* under = levelAt(screen);
    if (under == nullptr || under->arrowAt(screen) == 0) stopScrolling();  // the pointer left the arrow
    for (size_t depth = levels.size(); depth-- > 0;) {
        Level& level = *levels[depth];
        if (!level.screenArea().pointInside(screen)) continue;
        if (const int arrow = level.arrowAt(screen)) {
            scrollWhileOn(depth, arrow);
            return;
        }
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
    if (Level* level = levelAt(screen)) {
        pressedInside = true;
        // A click on a scroll arrow scrolls a row's worth at once.
        if (const int arrow = level->arrowAt(screen)) level->scrollBy(arrow * metrics.row);
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
            level.reveal(row);
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
        case XK_Up:
            stepHighlight(-1);
            break;
        case XK_Down:
            stepHighlight(+1);
            break;
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
        const int pointer =
            XGrabPointer(d, window, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                         GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (pointer == GrabSuccess) break;
        RunLoop::runOnce(10);
    }
    XGrabKeyboard(d, window, False, GrabModeAsync, GrabModeAsync, CurrentTime);
}

}  // namespace

MenuChoice runPopup(COptionMenu& menu, CPoint at, float scale) {
    Display* d = display();
    if (d == nullptr) return {};
    Session session(menu, at, scale);
    Session* const outer = openSession;
    openSession = &session;
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
    openSession = outer;
    XFlush(d);
    return session.result;
}

}  // namespace x11

std::vector<PopupLevelShown> popupLevelsShown() {
    std::vector<PopupLevelShown> shown;
    if (x11::openSession == nullptr) return shown;
    for (const auto& level : x11::openSession->levels) {
        PopupLevelShown one{&level->menu, level->screenArea(), {}};
        for (int i = 0; i < level->menu.getNbEntries(); ++i) one.entries.push_back(level->rowScreenArea(i));
        shown.push_back(one);
    }
    return shown;
}

}  // namespace tarnwell::gui
