// The editor commands as a user runs them: tarnwell snapshot, and tarnwell edit in a real window
// under a private X server, driven by real pointer events through XTest.

#include <gtest/gtest.h>

// The project's headers first: the X headers define words like None as macros.
#include "editor/EditorLayout.h"
#include "host/SavedState.h"
#include "tests/gui/WindowDeadline.h"
#include "tests/gui/XvfbServer.h"
#include "tests/host/CommandProcess.h"
#include "tests/support/PreferencesSandbox.h"
#include "tests/support/TempFolder.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

using namespace tarnwell::test;

namespace {

// The first viewable top-level window that wanted picks (by its id, attributes and name), once
// the server shows it; 0 after 20 s.
Window waitForWindow(Display* d,
                     const std::function<bool(Window, const XWindowAttributes&, const char*)>& wanted) {
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    // A window may go between listing and asking about it: that is no error here.
    const XErrorHandler before = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    Window found = 0;
    while (!found && std::chrono::steady_clock::now() < deadline) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count);
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            XWindowAttributes a{};
            XFetchName(d, children[i], &name);
            if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
                wanted(children[i], a, name))
                found = children[i];
            if (name) XFree(name);
        }
        if (children) XFree(children);
        if (found) break;
        // Look again when a window of the server changed, or after a while.
        while (XPending(d)) {
            XEvent event;
            XNextEvent(d, &event);
        }
        pollfd connection{ConnectionNumber(d), POLLIN, 0};
        poll(&connection, 1, 100);
    }
    XSync(d, False);
    XSetErrorHandler(before);
    return found;
}

Window waitForWindow(Display* d, const char* title, Window other = 0) {
    return waitForWindow(d, [&](Window w, const XWindowAttributes&, const char* name) {
        return w != other && name && std::strcmp(name, title) == 0;
    });
}

std::vector<uint32_t> readPng(const std::string& path, int& width, int& height) {
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    width = cairo_image_surface_get_width(png);
    height = cairo_image_surface_get_height(png);
    std::vector<uint32_t> pixels;
    const unsigned char* data = cairo_image_surface_get_data(png);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t argb;
            std::memcpy(&argb, data + y * cairo_image_surface_get_stride(png) + x * 4, 4);
            pixels.push_back(argb & 0xFFFFFF);
        }
    cairo_surface_destroy(png);
    return pixels;
}

// How many of the window's pixels differ from the picture's (0xRRGGBB each).
std::size_t differing(Display* d, Window w, const std::vector<uint32_t>& picture, int width, int height) {
    XImage* image = XGetImage(d, w, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image) return picture.size();
    std::size_t n = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            n += (XGetPixel(image, x, y) & 0xFFFFFF) != picture[static_cast<std::size_t>(y * width + x)];
    XDestroyImage(image);
    return n;
}

// Starts tarnwell edit (its messages to err) and waits for its window: 0 when none showed.
Window startEdit(Display* d, const std::vector<std::string>& args, pid_t& edit,
                 const std::string& err = "/dev/null") {
    std::vector<std::string> words{"edit"};
    words.insert(words.end(), args.begin(), args.end());
    edit = startCommand(words, "/dev/null", err);
    return edit > 0 ? waitForWindow(d, "Tarnwell") : 0;
}

XWindowAttributes attributesOf(Display* d, Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(d, w, &a);
    return a;
}

void click(Display* d, Window w, int x, int y) {
    Window child = 0;
    int rootX = 0, rootY = 0;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(d, DefaultScreen(d), rootX, rootY, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
}

// Presses at from, moves to to in steps, releases: a knob turned, a pad path drawn.
void drag(Display* d, Window w, int x0, int y0, int x1, int y1, int steps = 8) {
    Window child = 0;
    int rootX = 0, rootY = 0;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), x0, y0, &rootX, &rootY, &child);
    XTestFakeMotionEvent(d, DefaultScreen(d), rootX, rootY, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    for (int i = 1; i <= steps; ++i) {
        XTestFakeMotionEvent(d, DefaultScreen(d), rootX + (x1 - x0) * i / steps,
                             rootY + (y1 - y0) * i / steps, CurrentTime);
        XSync(d, False);
        usleep(10000);
    }
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
}

// Wheel steps at a point: up for positive counts, down for negative.
void wheel(Display* d, Window w, int x, int y, int count) {
    Window child = 0;
    int rootX = 0, rootY = 0;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(d, DefaultScreen(d), rootX, rootY, CurrentTime);
    for (int i = 0; i < std::abs(count); ++i) {
        XTestFakeButtonEvent(d, count > 0 ? 4 : 5, True, CurrentTime);
        XTestFakeButtonEvent(d, count > 0 ? 4 : 5, False, CurrentTime);
    }
    XSync(d, False);
}

void askToClose(Display* d, Window w) {
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = w;
    message.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    message.xclient.format = 32;
    message.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &message);
    XSync(d, False);
}

// The exit status of the command once it ended. When it has not ended within seconds it is
// killed and the test fails, saying what it was waiting for.
int endsWithin(pid_t child, int seconds, const std::string& after) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "tarnwell edit did not end within " << seconds << " s after " << after;
            return -1;
        }
        usleep(20000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The pixels of a 20-pixel square of a window.
std::vector<unsigned long> squareAt(Display* d, Window w, int x, int y) {
    std::vector<unsigned long> pixels;
    if (XImage* image = XGetImage(d, w, x, y, 20, 20, AllPlanes, ZPixmap)) {
        for (int i = 0; i < 400; ++i) pixels.push_back(XGetPixel(image, i % 20, i / 20));
        XDestroyImage(image);
    }
    return pixels;
}

// tarnwell edit --save saved, its window shown on the main page with Bypass switched on by a
// click, drawn so; 0 when the window did not come.
Window editWithBypassOn(Display* d, const std::string& saved, const std::string& err, pid_t& edit) {
    edit = startCommand({"edit", "--save", saved}, "/dev/null", err);
    const Window window = waitForWindow(d, "Tarnwell");
    if (window == 0) return 0;
    const int x = layout::BYPASS_BUTTON.x, y = layout::BYPASS_BUTTON.y;
    // The settings page, then the main page, then Bypass on: each shows as the square changes.
    std::vector<unsigned long> shown = squareAt(d, window, x, y);
    for (const auto& [clickX, clickY, what] :
         {std::tuple{40, 40, "the main page"}, {x + 10, y + 10, "Bypass on"}}) {
        click(d, window, clickX, clickY);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        std::vector<unsigned long> now = shown;
        while (now == shown && std::chrono::steady_clock::now() < deadline) {
            usleep(20000);
            now = squareAt(d, window, x, y);
        }
        EXPECT_NE(now, shown) << "the window did not show " << what << " within 5 s";
        shown = now;
    }
    return window;
}

// Bypass (parameter 1) in a saved state.
float savedBypass(const std::string& saved) {
    const CFRef<CFTypeRef> state = readPresetFile(saved);
    const StateSummary summary = inspectSavedState(static_cast<CFDictionaryRef>(state.get()), saved,
                                                   {0x61756D66, 0x4E77656C, 0x5A656C6B}, {1, 1024});
    return summary.programs.empty() ? -1.0f : summary.programs[0].values.at(1);
}

// tarnwell edit sessions on a private X server, with private preferences and a client of the
// server's own.
struct EditSession : ::testing::Test {
    WindowDeadline watchdog{120, "tarnwell edit sessions: their windows and ends"};  // first: covers SetUp
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(XvfbServer::start(error)) << error;
        std::filesystem::create_directories(folder);
        d = XOpenDisplay(nullptr);
        ASSERT_NE(d, nullptr);
    }
    void TearDown() override {
        if (d) XCloseDisplay(d);
    }
    PreferencesSandbox preferences;
    const std::string folder = preferences.userFolder();
    Display* d = nullptr;
};

}  // namespace

TEST(EditorCommands, SnapshotDrawsEachSizeAndLeavesTheUsersSizeAlone) {
    PreferencesSandbox preferences;
    const std::string folder = preferences.userFolder();
    std::filesystem::create_directories(folder);
    const std::string prefsFile = preferences.userFile("com.Zelk.Tarnwell");
    const std::string chosen = PreferencesSandbox::plist("<key>Big150</key><string>Y</string>\n");
    PreferencesSandbox::write(prefsFile, chosen);
    for (const auto& [scale, width, height] : {std::tuple{"150", 1650, 1095}, {"200", 2200, 1460}}) {
        const std::string picture = folder + "/" + scale + ".png";
        ASSERT_EQ(waitForCommand(startCommand({"snapshot", picture, "--scale", scale})), 0);
        int w = 0, h = 0;
        readPng(picture, w, h);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
    }
    EXPECT_EQ(PreferencesSandbox::read(prefsFile), chosen);
}

// A bundle whose artwork was never built (or is lost) draws black: neither command starts.
TEST(EditorCommands, WithoutTheArtworkNeitherEditorCommandStarts) {
    PreferencesSandbox preferences;
    TempFolder copy;
    namespace fs = std::filesystem;
    const fs::path contents = fs::path(copy.path("Tarnwell.component")) / "Contents";
    fs::create_directories(contents / "MacOS");
    fs::create_directories(contents / "Resources");
    // A copy: the component finds its bundle from its own path, which a link would lead back.
    fs::copy_file(TARNWELL_COMPONENT_PATH, contents / "MacOS" / fs::path(TARNWELL_COMPONENT_PATH).filename());
    fs::copy_file(TARNWELL_COMMAND, copy.path("tarnwell"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"snapshot", copy.path("out.png")}, std::vector<std::string>{"edit"}}) {
        EXPECT_EQ(
            waitForCommand(startCommand(args, "/dev/null", copy.path("err"), false, copy.path("tarnwell"))),
            1);
        const std::string err = copy.read("err");
        EXPECT_NE(err.find("Contents/Resources: the editor's artwork is missing (150 of 150 bitmaps)"),
                  std::string::npos)
            << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_FALSE(fs::exists(copy.path("out.png")));
    }
}

TEST(EditorCommands, EditShowsTheSnapshotTakesRealClicksShowsMessagesAsWindowsAndSavesOnClose) {
    WindowDeadline watchdog(90, "the private X server");
    std::string error;
    ASSERT_TRUE(XvfbServer::start(error)) << error;
    PreferencesSandbox preferences;
    const std::string folder = preferences.userFolder();
    std::filesystem::create_directories(folder);
    const std::string snapshot = folder + "/settings.png", saved = folder + "/edited.aupreset";

    watchdog.waitingFor("tarnwell snapshot to end");
    ASSERT_EQ(waitForCommand(startCommand({"snapshot", snapshot, "--page", "settings"})), 0);
    int width = 0, height = 0;
    const std::vector<uint32_t> expected = readPng(snapshot, width, height);
    EXPECT_EQ(width, 1100);
    EXPECT_EQ(height, 730);

    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    const pid_t edit = startCommand({"edit", "--save", saved});
    ASSERT_GT(edit, 0);
    watchdog.waitingFor("the editor window of tarnwell edit");
    const Window window = waitForWindow(d, "Tarnwell");
    ASSERT_NE(window, 0u) << "no editor window within 20 s";
    XWindowAttributes a{};
    XGetWindowAttributes(d, window, &a);
    EXPECT_EQ(a.width, 1100);
    EXPECT_EQ(a.height, 730);

    // The window opens on the settings page, drawn as the snapshot draws it.
    std::size_t left = expected.size();
    for (int attempt = 0; attempt < 200 && left != 0; ++attempt) {
        left = differing(d, window, expected, width, height);
        if (left != 0) usleep(20000);  // the editor draws at its next idle
    }
    EXPECT_EQ(left, 0u) << "pixels of the window unlike the snapshot";

    // A click on the page shows the controls; a click on Bypass switches it on.
    click(d, window, 40, 40);
    click(d, window, layout::BYPASS_BUTTON.x + 10, layout::BYPASS_BUTTON.y + 10);

    // The editor's messages are modal windows over it: the size entry of the preset menu says
    // when the new size applies.
    click(d, window, layout::PRESET_MENU.x + 20, layout::PRESET_MENU.y + 8);
    const Window menu = waitForWindow(d, [](Window, const XWindowAttributes& w, const char*) {
        return w.override_redirect && w.width > 1;
    });
    EXPECT_NE(menu, 0u) << "no preset menu";
    if (menu && XGetWindowAttributes(d, menu, &a)) click(d, menu, 40, a.height - 10);  // "Set To 200% Screen"
    const Window message = waitForWindow(d, "Tarnwell", window);
    EXPECT_NE(message, 0u) << "no message window";
    if (message && XGetWindowAttributes(d, message, &a)) {
        EXPECT_EQ(a.width, 380);
        click(d, message, a.width - 58, a.height - 29);  // OK
        watchdog.waitingFor("tarnwell edit to end when its window, its message answered, is asked to close");
        askToClose(d, window);
        EXPECT_EQ(waitForCommand(edit), 0);
    } else {
        kill(edit, SIGKILL);
        waitForCommand(edit);
    }
    XCloseDisplay(d);
    EXPECT_NE(PreferencesSandbox::read(preferences.userFile("com.Zelk.Tarnwell"))
                  .find("<key>Big200</key>\n\t<string>Y</string>"),
              std::string::npos);

    const CFRef<CFTypeRef> state = readPresetFile(saved);
    const StateSummary summary = inspectSavedState(static_cast<CFDictionaryRef>(state.get()), saved,
                                                   {0x61756D66, 0x4E77656C, 0x5A656C6B}, {1, 1024});
    ASSERT_EQ(summary.programs.size(), 1u);
    EXPECT_EQ(summary.programs[0].values.at(1), 1.0f);
}

// A user's session in the real window while the effect plays on its own thread: knobs turned and
// wheeled, pad paths recorded and replayed, Block types chosen from their menus, bypasses and
// preset steps. Run under ThreadSanitizer in CI, where any race between the editor and the
// audio thread makes the command fail.
TEST(EditorCommands, EditorSessionOfKnobsPadsMenusAndPresetsWhileAudioRuns) {
    // Room for ThreadSanitizer, which runs it too.
    WindowDeadline watchdog(300, "the private X server and the window of tarnwell edit");
    std::string error;
    ASSERT_TRUE(XvfbServer::start(error)) << error;
    PreferencesSandbox preferences;
    const std::string folder = preferences.userFolder();
    std::filesystem::create_directories(folder);
    const std::string saved = folder + "/session.aupreset", messages = folder + "/messages.txt";
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    const pid_t edit = startCommand({"edit", "--save", saved}, "/dev/null", messages);
    ASSERT_GT(edit, 0);
    const Window window = waitForWindow(d, "Tarnwell");
    ASSERT_NE(window, 0u);
    // Should the command end early, the session goes on against a window that is gone, and its
    // exit and messages say why.
    const XErrorHandler before = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    click(d, window, 40, 40);  // from the settings page to the controls
    usleep(200000);
    const auto centre = [](int x, int y) { return std::pair{x + 15, y + 15}; };
    int status = 0;
    bool ended = false;
    for (int round = 0; round < 24 && !(ended = waitpid(edit, &status, WNOHANG) == edit); ++round) {
        const int b = round % BLOCK_COUNT, x = layout::blockX(b);
        const auto [kx, ky] =
            centre(layout::KNOBS[round % layout::KNOB_COUNT].x, layout::KNOBS[round % layout::KNOB_COUNT].y);
        switch (round % 6) {
            case 0:
                drag(d, window, kx, ky, kx, ky + (round % 12 < 6 ? -60 : 60));
                break;
            case 1: {
                const layout::KnobRow& k = layout::BLOCK_KNOBS[round % layout::BLOCK_KNOBS_PER_BLOCK];
                const auto [bx, by] =
                    centre(layout::BLOCK_CONTAINER.x + x + k.x, layout::BLOCK_CONTAINER.y + k.y);
                wheel(d, window, bx, by, round % 12 < 6 ? 4 : -4);
                break;
            }
            case 2:
                click(d, window, layout::PRESET_NEXT.x + 4, layout::PRESET_NEXT.y + 4);
                break;
            case 3: {  // a Block type from the Block's menu
                click(d, window, layout::BLOCK_TYPE_MENU.x + x + 40, layout::BLOCK_TYPE_MENU.y + 8);
                const Window menu = waitForWindow(d, [](Window, const XWindowAttributes& w, const char*) {
                    return w.override_redirect && w.width > 1;
                });
                XWindowAttributes a{};
                if (menu && XGetWindowAttributes(d, menu, &a))
                    click(d, menu, 30, 8 + (round * 7) % std::max(1, a.height - 16));
                break;
            }
            case 4:
                for (int twice = 0; twice < 2; ++twice)
                    click(d, window, layout::BLOCK_BYPASS_BUTTON.x + x + 8,
                          layout::BLOCK_BYPASS_BUTTON.y + 6);
                break;
            default: {  // record a path on the pad, then replay it
                const layout::Box pad = layout::XY_PAD;
                const int px = layout::BLOCK_CONTAINER.x + x + pad.x, py = layout::BLOCK_CONTAINER.y + pad.y;
                click(d, window, layout::XY_RECORD_RADIOS[1].x + x + 10, layout::XY_RECORD_RADIOS[1].y + 10);
                drag(d, window, px + 20, py + 20, px + pad.w - 20, py + pad.h - 30, 12);
                drag(d, window, px + pad.w - 20, py + 30, px + 30, py + pad.h / 2, 12);
                click(d, window, layout::XY_RECORD_RADIOS[2].x + x + 10, layout::XY_RECORD_RADIOS[2].y + 10);
                break;
            }
        }
        usleep(60000);  // a few idle passes, as between a user's gestures
    }
    click(d, window, layout::BYPASS_BUTTON.x + 10, layout::BYPASS_BUTTON.y + 10);
    usleep(200000);
    watchdog.waitingFor("tarnwell edit to end when its window is asked to close after the session");
    askToClose(d, window);
    if (!ended) waitpid(edit, &status, 0);
    EXPECT_FALSE(ended) << "the command ended before the session did";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    XSetErrorHandler(before);
    XCloseDisplay(d);
    const std::string said = PreferencesSandbox::read(messages);
    for (const char* report : {"ThreadSanitizer", "AddressSanitizer", "runtime error"})
        EXPECT_EQ(said.find(report), std::string::npos) << said;
    const CFRef<CFTypeRef> state = readPresetFile(saved);
    const StateSummary summary = inspectSavedState(static_cast<CFDictionaryRef>(state.get()), saved,
                                                   {0x61756D66, 0x4E77656C, 0x5A656C6B}, {1, 1024});
    ASSERT_EQ(summary.programs.size(), 1u);
    EXPECT_EQ(summary.programs[0].values.at(1), 1.0f);  // the last gesture, Bypass, is in the state
}

// A pop-up menu open when the window is closed, or when the program is asked to end, closes with
// the window; the session ends as it does without a menu, its state saved.
TEST_F(EditSession, AnOpenMenuClosesWithTheWindowAndTheSessionEnds) {
    const std::function<void(Window, pid_t)> ends[] = {
        [this](Window window, pid_t) { askToClose(d, window); },
        [](Window, pid_t edit) { kill(edit, SIGTERM); },
        [](Window, pid_t edit) { kill(edit, SIGINT); },
    };
    const char* how[] = {"the window was asked to close", "SIGTERM", "SIGINT"};
    for (int i = 0; i < 3; ++i) {
        const std::string saved = folder + "/menu" + std::to_string(i) + ".aupreset";
        pid_t edit = 0;
        const Window window = editWithBypassOn(d, saved, "/dev/null", edit);
        ASSERT_NE(window, 0u) << "no editor window";
        click(d, window, layout::PRESET_MENU.x + 20, layout::PRESET_MENU.y + 8);
        const Window menu = waitForWindow(d, [](Window, const XWindowAttributes& w, const char*) {
            return w.override_redirect && w.width > 1;
        });
        EXPECT_NE(menu, 0u) << "no preset menu";
        ends[i](window, edit);
        EXPECT_EQ(endsWithin(edit, 10, std::string("a menu was open and ") + how[i]), 0) << how[i];
        EXPECT_EQ(savedBypass(saved), 1.0f) << how[i];
    }
}

// Another client destroying the window ends the session as a close does. Losing the display
// connection saves the state too, and ends with one line saying why.
TEST_F(EditSession, AWindowDestroyedOrADisplayLostEndsItWithTheStateSaved) {
    const std::string destroyedSave = folder + "/destroyed.aupreset",
                      destroyedErr = folder + "/destroyed.err";
    pid_t edit = 0;
    Window window = editWithBypassOn(d, destroyedSave, destroyedErr, edit);
    ASSERT_NE(window, 0u) << "no editor window";
    XDestroyWindow(d, window);
    XSync(d, False);
    EXPECT_EQ(endsWithin(edit, 10, "another client destroyed its window"), 0);
    EXPECT_EQ(savedBypass(destroyedSave), 1.0f);
    EXPECT_EQ(PreferencesSandbox::read(destroyedErr).find("X"), std::string::npos)
        << PreferencesSandbox::read(destroyedErr);

    const std::string lostSave = folder + "/lost.aupreset", lostErr = folder + "/lost.err";
    window = editWithBypassOn(d, lostSave, lostErr, edit);
    ASSERT_NE(window, 0u) << "no editor window";
    XKillClient(d, window);  // the server drops the editor's connection
    XSync(d, False);
    EXPECT_EQ(endsWithin(edit, 10, "its display connection was dropped"), 1);
    EXPECT_EQ(savedBypass(lostSave), 1.0f);
    // The messages before it say how the sound runs (no audio device here).
    const std::string messages = PreferencesSandbox::read(lostErr);
    const std::string why =
        "\ntarnwell: the connection to the display was lost; the editor closed (its state was saved)\n";
    EXPECT_EQ(messages.find("X"), std::string::npos) << messages;  // nothing from Xlib
    EXPECT_TRUE(messages.size() >= why.size() &&
                messages.compare(messages.size() - why.size(), why.size(), why) == 0)
        << messages;
}

// The Xvfb screen is 768 pixels high: a chosen 200 % (2200 x 1460) opens at 100 %, says so on
// standard error, and the choice stays.
TEST(EditorCommands, EditOpensAtTheLargestSizeTheScreenHasRoomFor) {
    WindowDeadline watchdog(90, "the private X server and the window of tarnwell edit");
    std::string error;
    ASSERT_TRUE(XvfbServer::start(error)) << error;
    PreferencesSandbox preferences;
    const std::string folder = preferences.userFolder();
    std::filesystem::create_directories(folder);
    const std::string prefsFile = preferences.userFile("com.Zelk.Tarnwell");
    const std::string chosen = PreferencesSandbox::plist("<key>Big200</key><string>Y</string>\n");
    PreferencesSandbox::write(prefsFile, chosen);
    const std::string said = folder + "/stderr.txt";

    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    ASSERT_LT(DisplayHeight(d, DefaultScreen(d)), 1095);
    pid_t edit = 0;
    const Window window = startEdit(d, {}, edit, said);
    EXPECT_NE(window, 0u);
    if (window) {
        EXPECT_EQ(attributesOf(d, window).width, 1100);
        EXPECT_EQ(attributesOf(d, window).height, 730);
        askToClose(d, window);
    } else if (edit > 0) {
        kill(edit, SIGTERM);
    }
    watchdog.waitingFor("tarnwell edit to end when its window is asked to close");
    EXPECT_EQ(endsWithin(edit, 20, "a request to close its window"), 0);
    XCloseDisplay(d);
    const std::string messages = PreferencesSandbox::read(said);
    EXPECT_NE(messages.find("Tarnwell: the 200 % window (2200 x 1460) does not fit this screen"),
              std::string::npos)
        << messages;
    const std::string stored = PreferencesSandbox::read(prefsFile);
    EXPECT_NE(stored.find("<key>Big200</key>\n\t<string>Y</string>"), std::string::npos) << stored;
    EXPECT_EQ(stored.find("Big100"), std::string::npos) << stored;
}
