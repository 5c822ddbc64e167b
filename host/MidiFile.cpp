#include "host/MidiFile.h"

// libsmf's header needs glib's declarations ahead of it in C++.
#include <glib.h>
#include <smf.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "host/HostError.h"
#include "host/MidiFileCheck.h"

namespace {

// Far above any song; refuses to load arbitrary big files into memory.
constexpr std::streamoff LARGEST_FILE = 64 << 20;

struct SmfDelete {
    void operator()(smf_t* smf) const { smf_delete(smf); }
};

// libsmf reports problems through glib's log; keep them off the terminal and remember the
// first error so the one-line message can say what was wrong.
class SmfLogCapture {
public:
    SmfLogCapture() {
        handler = g_log_set_handler(
            "libsmf", static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
            &SmfLogCapture::record, this);
    }
    ~SmfLogCapture() { g_log_remove_handler("libsmf", handler); }
    SmfLogCapture(const SmfLogCapture&) = delete;
    SmfLogCapture& operator=(const SmfLogCapture&) = delete;

    std::string firstError;

private:
    static void record(const gchar*, GLogLevelFlags level, const gchar* message, gpointer self) {
        auto* capture = static_cast<SmfLogCapture*>(self);
        const bool serious = (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL)) != 0;
        if (serious && capture->firstError.empty() && message != nullptr) capture->firstError = message;
    }
    guint handler = 0;
};

bool isChannelMessage(const smf_event_t* event) {
    if (event->midi_buffer_length < 1) return false;
    const std::uint8_t status = event->midi_buffer[0];
    return status >= 0x80 && status < 0xF0;
}

}  // namespace

MidiSong readMidiFile(const std::string& path, double sampleRate, std::optional<double> tempo) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) throw fileError(path, std::string("cannot be read (") + std::strerror(errno) + ")");
    if (in.tellg() > LARGEST_FILE) throw fileError(path, "is too large to be a MIDI file");
    in.seekg(0);
    std::ostringstream content;
    content << in.rdbuf();
    const std::string text = content.str();
    const std::vector<unsigned char> bytes(text.begin(), text.end());
    if (const std::string problem = midiFileProblem(bytes); !problem.empty())
        throw fileError(path, "is not a MIDI file we can read (" + problem + ")");

    SmfLogCapture log;
    std::unique_ptr<smf_t, SmfDelete> smf(smf_load_from_memory(bytes.data(), static_cast<int>(bytes.size())));
    // libsmf loads some broken files anyway, truncating what it cannot parse; those are
    // refused too rather than played in part.
    const auto refuseWhenBroken = [&] {
        if (smf && log.firstError.empty()) return;
        std::string why = log.firstError.empty() ? "unknown problem" : log.firstError;
        for (const char* prefix : {"SMF error: ", "SMF warning: "})
            if (why.rfind(prefix, 0) == 0) why.erase(0, std::strlen(prefix));
        throw fileError(path, "is not a MIDI file we can read (" + why + ")");
    };
    refuseWhenBroken();
    if (smf->ppqn <= 0) throw fileError(path, "counts time in SMPTE frames, which is not supported");

    MidiSong song{{}, TempoMap(tempo.value_or(120.0))};
    for (int i = 0;; ++i) {
        const smf_tempo_t* change = smf_get_tempo_by_number(smf.get(), i);
        if (change == nullptr) break;
        if (change->time_pulses == 0) song.tempo.setTimeSignature(change->numerator, change->denominator);
        if (!tempo && change->microseconds_per_quarter_note > 0)
            song.tempo.addChange(static_cast<double>(change->time_pulses) / smf->ppqn,
                                 60e6 / change->microseconds_per_quarter_note);
    }

    smf_rewind(smf.get());
    while (const smf_event_t* event = smf_get_next_event(smf.get())) {
        if (!isChannelMessage(event)) continue;
        const double seconds = song.tempo.secondsAt(static_cast<double>(event->time_pulses) / smf->ppqn);
        MidiMessage m{static_cast<std::uint64_t>(std::llround(seconds * sampleRate)), event->midi_buffer[0],
                      0, 0};
        if (event->midi_buffer_length > 1) m.data1 = event->midi_buffer[1] & 0x7F;
        if (event->midi_buffer_length > 2) m.data2 = event->midi_buffer[2] & 0x7F;
        song.messages.push_back(m);
    }
    refuseWhenBroken();
    return song;
}
