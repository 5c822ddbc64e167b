// tarnwell edit: the editor in a window of its own while the effect plays in real time, the way
// a host shows it: the editor and its idle timer on the main thread, rendering on another.

#include <signal.h>

#include <cstdlib>

#include "effect/FactoryBank.h"
#include "host/AtomicOutput.h"
#include "host/AudioFile.h"
#include "host/DemoMaterial.h"
#include "host/EditorCommands.h"
#include "host/EditorView.h"
#include "host/HostError.h"
#include "host/LiveMidiInput.h"
#include "host/LivePlayback.h"
#include "sdk/cocoa/AppKit.h"

namespace {

// The input files have no tempo of their own; the song runs at this one unless --tempo says.
constexpr double FILE_TEMPO = 120.0;

class ClosedWatch : public NSWindowDelegate {
public:
    void windowWillClose(NSWindow*) override { closed = true; }
    bool closed = false;
};

void stopTheLoop(int) {
    NSRunLoop::mainRunLoop().stop();
}

// While it lives, an interrupt, a hang-up or a termination ends the session the way closing
// the window does (the state is saved), instead of ending the program at once.
class SignalsCloseTheWindow {
public:
    SignalsCloseTheWindow() {
        struct sigaction action {};
        action.sa_handler = &stopTheLoop;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(SIGNALS); ++i) sigaction(SIGNALS[i], &action, &before[i]);
    }
    ~SignalsCloseTheWindow() {
        for (std::size_t i = 0; i < std::size(SIGNALS); ++i) sigaction(SIGNALS[i], &before[i], nullptr);
    }
    SignalsCloseTheWindow(const SignalsCloseTheWindow&) = delete;
    SignalsCloseTheWindow& operator=(const SignalsCloseTheWindow&) = delete;

private:
    static constexpr int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction before[std::size(SIGNALS)]{};
};

}  // namespace

void runEdit(const EditCommand& command, std::ostream& out, std::ostream& err, const HostEnvironment& env) {
    if (!command.saveFile.empty())
        AtomicOutput probe(command.saveFile);  // a folder that takes no file fails now
    const AudioData input = command.input.empty() ? makeDemoMaterial() : readAudioFile(command.input);
    const auto component = openInitialized(
        env, input.sampleRate, static_cast<std::uint32_t>(input.channels.size()), LivePlayback::BLOCK_FRAMES);
    requireArtwork(unitOf(*component));
    std::unique_ptr<tarnwell::cocoa::WindowServer> display = tarnwell::cocoa::makeX11WindowServer();
    if (!display)
        throw HostError(
            "no display to show the editor on (is DISPLAY set?); tarnwell snapshot draws it without one");
    tarnwell::cocoa::setWindowServer(std::move(display));
    tarnwell::cocoa::WindowServer& server = tarnwell::cocoa::windowServer();
    prepareSound(*component, command.sound, command.stateFile, env, &err);

    const auto save = [&] {
        if (command.saveFile.empty()) return;
        saveComponentState(*component, command.saveFile);
        out << "saved " << command.saveFile << "\n";
    };
    LiveMidiInput midi(err);
    LivePlayback playback(*component, input,
                          command.tempo.value_or(command.input.empty() ? DEMO_TEMPO : FILE_TEMPO), &midi);
    {
        EditorView editor(unitOf(*component));
        NSWindow* window = editor.window();
        if (window == nullptr) throw HostError("the effect has no editor to show");
        ClosedWatch watch;
        window->setDelegate(&watch);
        window->makeKeyAndOrderFront();
        playback.start(err);
        // With the display gone the windows cannot even be taken down: the state is saved and
        // the program ends here, saying why.
        server.onConnectionLost([&] {
            playback.stop();
            try {
                save();
            } catch (const std::exception& e) {
                err << "tarnwell: " << e.what() << "\n";
            }
            err << "tarnwell: the connection to the display was lost; the editor closed"
                << (command.saveFile.empty() ? "" : " (its state was saved)") << "\n";
            out.flush();
            err.flush();
            std::_Exit(1);
        });
        {
            SignalsCloseTheWindow signals;
            NSRunLoop::mainRunLoop().runUntil([&] { return watch.closed; });
        }
        server.onConnectionLost(nullptr);
        playback.stop();
    }  // the panel and the view go, and the editor closes with them
    save();
}
