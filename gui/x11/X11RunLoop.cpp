#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

#include "gui/x11/X11Internal.h"
#include "gui/x11/X11Window.h"

namespace tarnwell::gui {
namespace x11 {

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
    int id;
    Clock::duration interval;
    Clock::time_point next;
    std::function<void()> action;
    bool running = false;
};

struct LoopState {
    Display* connection = nullptr;
    bool tried = false;
    bool lost = false;       // the connection broke: every call on it does nothing now
    unsigned cancelled = 0;  // counts cancelModal calls
    std::function<bool()> interrupted;
    std::function<void()> lostHandler;
    std::map<::Window, EventTarget*> targets;
    std::vector<std::vector<::Window>> modal;
    std::vector<Timer> timers;
    int nextTimerId = 1;
};

LoopState& state() {
    static LoopState s;
    return s;
}

bool isInput(int type) {
    return type == ButtonPress || type == ButtonRelease || type == MotionNotify || type == KeyPress ||
           type == KeyRelease;
}

void dispatch(XEvent& event) {
    LoopState& s = state();
    if (isInput(event.type) && !s.modal.empty()) {
        const auto& allowed = s.modal.back();
        if (std::find(allowed.begin(), allowed.end(), event.xany.window) == allowed.end()) return;
    }
    auto it = s.targets.find(event.xany.window);
    if (it != s.targets.end()) it->second->handle(event);
}

// Runs the timers that are due; true when one ran.
bool fireTimers() {
    LoopState& s = state();
    const auto now = Clock::now();
    for (size_t i = 0; i < s.timers.size(); ++i) {
        Timer& t = s.timers[i];
        if (t.running || now < t.next) continue;
        t.next = std::max(t.next + t.interval, now);  // missed ticks are not made up
        const int id = t.id;
        auto action = t.action;  // the action may remove its own timer
        t.running = true;
        action();
        for (Timer& still : s.timers)
            if (still.id == id) still.running = false;
        return true;
    }
    return false;
}

int millisecondsToNextTimer(int limit) {
    const auto now = Clock::now();
    int wait = limit;
    for (const Timer& t : state().timers) {
        if (t.running) continue;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.next - now).count();
        wait = std::min<int>(wait, static_cast<int>(std::max<long long>(0, ms)));
    }
    return wait;
}

// A window another client destroyed leaves requests that still name it, or what was drawn on
// it, failing: they change nothing and are no fault of ours. Other errors are reported, and the
// program goes on.
int onError(Display* d, XErrorEvent* error) {
    constexpr unsigned char kFirstExtensionError = 128;  // the render extension's pictures, among others
    if (error->error_code == BadWindow || error->error_code == BadDrawable ||
        error->error_code == BadPixmap || error->error_code == BadGC ||
        error->error_code >= kFirstExtensionError)
        return 0;
    char text[256] = {};
    XGetErrorText(d, error->error_code, text, sizeof text);
    std::fprintf(stderr, "X error: %s (request %d)\n", text, error->request_code);
    return 0;
}

// The program's handler saves its work and ends it. Without one (or when it returns), Xlib
// returns from every call from now on instead of ending the program; the loops see it and end.
// (Drawing through cairo may then wait for ever: the handler is the way out.)
void onLost(Display*, void*) {
    state().lost = true;
    if (state().lostHandler) state().lostHandler();
}

// Waits for an event or a timer, at most timeoutMs; then handles one event or one timer.
// True when something was handled.
bool step(int timeoutMs) {
    Display* d = state().lost ? nullptr : display();
    if (d && XPending(d)) {
        XEvent event;
        XNextEvent(d, &event);
        dispatch(event);
        return true;
    }
    if (fireTimers()) return true;
    const int wait = millisecondsToNextTimer(timeoutMs);
    if (d) {
        XFlush(d);
        pollfd fd{ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, wait);
    } else if (wait > 0) {
        poll(nullptr, 0, wait);
    }
    if (d && XPending(d)) {
        XEvent event;
        XNextEvent(d, &event);
        dispatch(event);
        return true;
    }
    return fireTimers();
}

}  // namespace

Display* display() {
    LoopState& s = state();
    if (!s.tried) {
        s.tried = true;
        s.connection = XOpenDisplay(nullptr);
        if (s.connection) {
            XSetErrorHandler(&onError);
            XSetIOErrorHandler([](Display*) { return 0; });  // the exit handler decides, quietly
            XSetIOErrorExitHandler(s.connection, &onLost, nullptr);
        }
    }
    return s.connection;
}

void addTarget(::Window window, EventTarget* target) {
    state().targets[window] = target;
}
void removeTarget(::Window window) {
    state().targets.erase(window);
}

ModalScope::ModalScope(std::vector<::Window> inputWindows) {
    state().modal.push_back(std::move(inputWindows));
}
ModalScope::~ModalScope() {
    state().modal.pop_back();
}
void ModalScope::add(::Window window) {
    state().modal.back().push_back(window);
}

void waitUntilMapped(::Window window) {
    Display* d = display();
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    XWindowAttributes attributes;
    while (Clock::now() < deadline) {
        XGetWindowAttributes(d, window, &attributes);
        if (attributes.map_state == IsViewable) return;
        step(10);
    }
}

long buttonsOf(unsigned int xstate) {
    long buttons = 0;
    if (xstate & Button1Mask) buttons |= kLButton;
    if (xstate & Button3Mask) buttons |= kRButton;
    if (xstate & ShiftMask) buttons |= kShift;
    if (xstate & ControlMask) buttons |= kCommand;
    return buttons;
}

PictureWindow::PictureWindow(int x, int y, int width, int height, bool overrideRedirect, long eventMask)
    : d(display()), w(width), h(height) {
    const int screen = DefaultScreen(d);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = overrideRedirect ? True : False;
    attributes.event_mask = eventMask;
    attributes.background_pixel = BlackPixel(d, screen);
    attributes.bit_gravity = NorthWestGravity;
    xid = XCreateWindow(d, RootWindow(d, screen), x, y, static_cast<unsigned>(width),
                        static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                        CWOverrideRedirect | CWEventMask | CWBackPixel | CWBitGravity, &attributes);
    surface = cairo_xlib_surface_create(d, xid, DefaultVisual(d, screen), width, height);
}

PictureWindow::~PictureWindow() {
    removeTarget(xid);
    // On a broken connection cairo would wait for the server for ever; the window went with it.
    if (state().lost) return;
    cairo_surface_destroy(surface);
    XDestroyWindow(d, xid);
    XFlush(d);
}

void PictureWindow::present(cairo_surface_t* picture, const CRect& area) {
    if (picture == nullptr || area.isEmpty() || state().lost) return;
    cairo_t* cr = cairo_create(surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_rectangle(cr, area.left, area.top, area.getWidth(), area.getHeight());
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
}

void PictureWindow::map() {
    XMapRaised(d, xid);
    waitUntilMapped(xid);
}

void PictureWindow::unmap() {
    XUnmapWindow(d, xid);
    XFlush(d);
}

}  // namespace x11

bool displayAvailable() {
    return x11::display() != nullptr;
}

void onDisplayLost(std::function<void()> handler) {
    x11::state().lostHandler = std::move(handler);
}

int RunLoop::addTimer(double interval, std::function<void()> action) {
    auto& s = x11::state();
    const auto period =
        std::chrono::duration_cast<x11::Clock::duration>(std::chrono::duration<double>(interval));
    s.timers.push_back({s.nextTimerId, period, x11::Clock::now() + period, std::move(action)});
    return s.nextTimerId++;
}

void RunLoop::removeTimer(int id) {
    auto& timers = x11::state().timers;
    timers.erase(
        std::remove_if(timers.begin(), timers.end(), [id](const x11::Timer& t) { return t.id == id; }),
        timers.end());
}

void RunLoop::runUntil(const std::function<bool()>& done) {
    const auto& s = x11::state();
    const unsigned cancelled = s.cancelled;
    const auto ended = [&] {
        return s.lost || s.cancelled != cancelled || (s.interrupted && s.interrupted());
    };
    while (!done() && !ended()) x11::step(100);
}

void RunLoop::cancelModal() {
    ++x11::state().cancelled;
}

void RunLoop::setInterruption(std::function<bool()> interrupted) {
    x11::state().interrupted = std::move(interrupted);
}

void RunLoop::runOnce(int timeoutMs) {
    if (!x11::step(timeoutMs)) return;
    while (x11::step(0)) {
    }
}

}  // namespace tarnwell::gui
