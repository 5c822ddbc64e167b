#include "gui/x11/X11Window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "framework/effectbase/VstRecords.h"
#include "gui/CFrame.h"
#include "gui/x11/X11Internal.h"
#include "gui/x11/X11Popup.h"

namespace tarnwell::gui {

namespace {

constexpr unsigned long kDoubleClickTime = 400;  // ms between the presses
constexpr int kDoubleClickDistance = 4;          // pixels

constexpr long kWindowEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                               KeyPressMask | EnterWindowMask | LeaveWindowMask | StructureNotifyMask;

// The key as the frame receives it: a virtual key, or the character typed (Latin-1).
VstKeyCode keyCodeOf(XKeyEvent& event) {
    char text[8] = {};
    KeySym symbol = NoSymbol;
    const int length = XLookupString(&event, text, sizeof text, &symbol, nullptr);
    VstKeyCode key{0, 0, 0};
    switch (symbol) {
        case XK_Up:
            key.virt = VKEY_UP;
            break;
        case XK_Down:
            key.virt = VKEY_DOWN;
            break;
        case XK_Prior:
            key.virt = VKEY_PAGEUP;
            break;
        case XK_Next:
            key.virt = VKEY_PAGEDOWN;
            break;
        case XK_Left:
            key.virt = VKEY_LEFT;
            break;
        case XK_Right:
            key.virt = VKEY_RIGHT;
            break;
        case XK_Home:
            key.virt = VKEY_HOME;
            break;
        case XK_End:
            key.virt = VKEY_END;
            break;
        case XK_Return:
            key.virt = VKEY_RETURN;
            break;
        case XK_KP_Enter:
            key.virt = VKEY_ENTER;
            break;
        case XK_Escape:
            key.virt = VKEY_ESCAPE;
            break;
        case XK_BackSpace:
            key.virt = VKEY_BACK;
            break;
        case XK_Delete:
            key.virt = VKEY_DELETE;
            break;
        default:
            if (event.state & ControlMask) {
                // Control with a letter names the letter (Control-A selects all in a text field).
                if (symbol >= XK_a && symbol <= XK_z)
                    key.character = static_cast<int32_t>(symbol - XK_a + 'a');
                if (symbol >= XK_A && symbol <= XK_Z)
                    key.character = static_cast<int32_t>(symbol - XK_A + 'a');
            } else if (length == 1 && static_cast<unsigned char>(text[0]) >= 32 && text[0] != 127) {
                key.character = static_cast<unsigned char>(text[0]);
            }
    }
    if (event.state & ShiftMask) key.modifier |= MODIFIER_SHIFT;
    if (event.state & ControlMask) key.modifier |= MODIFIER_CONTROL;
    return key;
}

}  // namespace

class WindowPlatform;

struct Window::Impl : x11::EventTarget {
    Impl(Window& w, int width, int height)
        : owner(w), picture(0, 0, width, height, false, kWindowEvents), size(0, 0, width, height) {
        Display* d = x11::display();
        wmDelete = XInternAtom(d, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(d, picture.id(), &wmDelete, 1);
        XSizeHints hints{};
        hints.flags = PMinSize | PMaxSize;
        hints.min_width = hints.max_width = width;
        hints.min_height = hints.max_height = height;
        XSetWMNormalHints(d, picture.id(), &hints);
        // Window managers and task bars group and name the program's windows by their class.
        char name[] = "tarnwell", type[] = "Tarnwell";
        XClassHint windowClass{name, type};
        XSetClassHint(d, picture.id(), &windowClass);
        x11::addTarget(picture.id(), this);
    }

    void handle(XEvent& event) override;
    void press(XButtonEvent& event);
    void closeRequested() {
        RunLoop::cancelModal();
        if (owner.closeHandler) owner.closeHandler();  // may delete this window
    }
    void presentFrame(const CRect& area) {
        if (owner.attached) picture.present(owner.attached->picture(), area);
    }

    Window& owner;
    x11::PictureWindow picture;
    CRect size;
    Atom wmDelete;
    class WindowPlatform* platform = nullptr;
    CPoint pointer;
    bool inside = false;
    long held = 0;
    Time lastPressTime = 0;
    unsigned lastPressButton = 0;
    CPoint lastPressAt;
    bool lastWasDouble = false;
};

class WindowPlatform : public FramePlatform {
public:
    explicit WindowPlatform(Window::Impl* owner) : impl(owner) { impl->platform = this; }
    ~WindowPlatform() override {
        if (impl) impl->platform = nullptr;
    }
    void present(const CRect& area) override {
        if (impl) impl->presentFrame(area);
    }
    bool pointer(CPoint& where) const override {
        if (!impl) return false;
        where = impl->pointer;
        return impl->inside;
    }
    long buttons() const override { return impl ? impl->held : 0; }
    MenuChoice popUp(COptionMenu& menu, const CPoint& at) override {
        if (!impl) return {};
        Display* d = x11::display();
        int rootX = 0, rootY = 0;
        ::Window child;
        XTranslateCoordinates(d, impl->picture.id(), DefaultRootWindow(d), at.x, at.y, &rootX, &rootY,
                              &child);
        const float scale = impl->owner.frame() ? impl->owner.frame()->getContentScale() : 1.0f;
        return x11::runPopup(menu, CPoint(rootX, rootY), scale);
    }

    Window::Impl* impl;
};

void Window::Impl::press(XButtonEvent& event) {
    CFrame* frame = owner.attached;
    if (event.button == Button4 || event.button == Button5) {
        // The modifiers of the wheel event itself: Shift with the wheel is a fine step.
        const long buttons = x11::buttonsOf(event.state);
        if (frame) frame->platformWheel(pointer, event.button == Button4 ? 1.0f : -1.0f, buttons);
        return;
    }
    if (event.button != Button1 && event.button != Button3) return;
    const long bit = event.button == Button1 ? kLButton : kRButton;
    held = x11::buttonsOf(event.state) | bit;
    const bool twice = event.button == lastPressButton && event.time - lastPressTime <= kDoubleClickTime &&
                       std::abs(pointer.x - lastPressAt.x) <= kDoubleClickDistance &&
                       std::abs(pointer.y - lastPressAt.y) <= kDoubleClickDistance && !lastWasDouble;
    lastWasDouble = twice;
    lastPressTime = event.time;
    lastPressButton = event.button;
    lastPressAt = pointer;
    if (frame) frame->platformMouseDown(pointer, held | (twice ? long{kDoubleClick} : 0L));
}

void Window::Impl::handle(XEvent& event) {
    CFrame* frame = owner.attached;
    switch (event.type) {
        case Expose: {
            const XExposeEvent& e = event.xexpose;
            if (frame) frame->doIdleStuff();
            presentFrame(CRect(e.x, e.y, e.x + e.width, e.y + e.height));
            break;
        }
        case ButtonPress:
            pointer = CPoint(event.xbutton.x, event.xbutton.y);
            inside = size.pointInside(pointer);
            press(event.xbutton);
            break;
        case ButtonRelease: {
            if (event.xbutton.button != Button1 && event.xbutton.button != Button3) break;
            pointer = CPoint(event.xbutton.x, event.xbutton.y);
            inside = size.pointInside(pointer);
            held = x11::buttonsOf(event.xbutton.state) &
                   ~(event.xbutton.button == Button1 ? kLButton : kRButton);
            if (frame) frame->platformMouseUp(pointer, held);
            break;
        }
        case MotionNotify: {
            // Only the latest of a run of moves in a row matters.
            Display* d = x11::display();
            XEvent next;
            while (XPending(d) && (XPeekEvent(d, &next), next.type == MotionNotify) &&
                   next.xany.window == picture.id())
                XNextEvent(d, &event);
            pointer = CPoint(event.xmotion.x, event.xmotion.y);
            inside = size.pointInside(pointer);
            held = x11::buttonsOf(event.xmotion.state);
            if (frame) frame->platformMouseMoved(pointer, held);
            break;
        }
        case EnterNotify:
        case LeaveNotify:
            pointer = CPoint(event.xcrossing.x, event.xcrossing.y);
            inside = event.type == EnterNotify;
            break;
        case KeyPress: {
            VstKeyCode key = keyCodeOf(event.xkey);
            if (frame && (key.virt || key.character)) frame->platformKeyDown(key);
            break;
        }
        case ClientMessage:
            if (static_cast<Atom>(event.xclient.data.l[0]) == wmDelete) closeRequested();
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == picture.id()) closeRequested();  // by another client
            break;
        default:
            break;
    }
}

Window::Window(int width, int height, const std::string& title) {
    if (x11::display() == nullptr) throw std::runtime_error("cannot open the display");
    impl = new Impl(*this, width, height);
    xid = impl->picture.id();
    setTitle(title);
}

Window::~Window() {
    if (impl->platform) impl->platform->impl = nullptr;
    delete impl;
}

bool screenWorkArea(int& width, int& height) {
    Display* d = x11::display();
    if (d == nullptr) return false;
    const int screen = DefaultScreen(d);
    width = DisplayWidth(d, screen);
    height = DisplayHeight(d, screen);
    const ::Window root = RootWindow(d, screen);
    const auto cardinals = [&](const char* name, long count, std::vector<long>& out) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        const bool got = XGetWindowProperty(d, root, XInternAtom(d, name, False), 0, count, False,
                                            XA_CARDINAL, &type, &format, &items, &after, &data) == Success &&
                         type == XA_CARDINAL && format == 32;
        if (got) out.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + items);
        if (data) XFree(data);
        return got;
    };
    std::vector<long> desktop, areas;
    const long current = cardinals("_NET_CURRENT_DESKTOP", 1, desktop) && !desktop.empty() ? desktop[0] : 0;
    const auto first = static_cast<size_t>(4 * current);  // x, y, width, height per desktop
    if (cardinals("_NET_WORKAREA", 4 * (current + 1), areas) && areas.size() >= first + 4) {
        const long w = areas[first + 2], h = areas[first + 3];
        if (w > 0 && h > 0) {
            width = static_cast<int>(std::min<long>(w, width));
            height = static_cast<int>(std::min<long>(h, height));
        }
    }
    return true;
}

void Window::setTitle(const std::string& title) {
    Display* d = x11::display();
    XStoreName(d, xid, title.c_str());
    const Atom name = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    XChangeProperty(d, xid, name, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
}

void Window::center() {
    Display* d = x11::display();
    const int screen = DefaultScreen(d);
    const int x = std::max(0, (DisplayWidth(d, screen) - impl->picture.width()) / 2);
    const int y = std::max(0, (DisplayHeight(d, screen) - impl->picture.height()) / 3);
    XMoveWindow(d, xid, x, y);
    XSizeHints hints{};
    long supplied = 0;
    XGetWMNormalHints(d, xid, &hints, &supplied);
    hints.flags |= PPosition;
    hints.x = x;
    hints.y = y;
    XSetWMNormalHints(d, xid, &hints);
}

void Window::show() {
    impl->picture.map();
    shown = true;
}

void Window::hide() {
    impl->picture.unmap();
    shown = false;
}

std::unique_ptr<FramePlatform> Window::attachFrame(CFrame& frame) {
    attached = &frame;
    return std::make_unique<WindowPlatform>(impl);
}

void Window::detachFrame(CFrame& frame) {
    if (attached == &frame) attached = nullptr;
}

std::vector<uint32_t> Window::readBack(int& width, int& height) const {
    Display* d = x11::display();
    XSync(d, False);
    width = impl->picture.width();
    height = impl->picture.height();
    XImage* image = XGetImage(d, xid, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (image == nullptr) return {};
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            const auto channel = [p](unsigned long mask) {
                int shift = 0;
                while (mask && !(mask & 1)) {
                    mask >>= 1;
                    ++shift;
                }
                return static_cast<uint32_t>((p >> shift) & 0xff);
            };
            pixels[static_cast<size_t>(y * width + x)] = 0xff000000u | channel(image->red_mask) << 16 |
                                                         channel(image->green_mask) << 8 |
                                                         channel(image->blue_mask);
        }
    XDestroyImage(image);
    return pixels;
}

}  // namespace tarnwell::gui
