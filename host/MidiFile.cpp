#include "host/MidiFile.h"

#include <algorithm>
#include <cmath>

#include "host/HostError.h"

namespace {

class Reader {
public:
    Reader(const std::vector<unsigned char>& data, std::size_t from, std::size_t to)
        : bytes(data), pos(from), end(to) {}

    bool atEnd() const { return pos >= end; }
    std::size_t left() const { return end - pos; }
    std::size_t offset() const { return pos; }
    std::optional<unsigned> byte() {
        if (pos >= end) return std::nullopt;
        return bytes[pos++];
    }
    // A variable-length quantity: at most four bytes, seven bits each.
    std::optional<std::uint32_t> quantity() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto b = byte();
            if (!b) return std::nullopt;
            value = (value << 7) | (*b & 0x7F);
            if ((*b & 0x80) == 0) return value;
        }
        return std::nullopt;
    }
    bool skip(std::size_t n) {
        if (n > left()) return false;
        pos += n;
        return true;
    }
    // The next n bytes as a reader of their own; callers check left() first.
    Reader take(std::size_t n) {
        pos += n;
        return Reader(bytes, pos - n, pos);
    }
    std::uint32_t big(int n) {  // callers check left() first
        std::uint32_t value = 0;
        for (int i = 0; i < n; ++i) value = (value << 8) | bytes[pos++];
        return value;
    }

private:
    const std::vector<unsigned char>& bytes;
    std::size_t pos;
    std::size_t end;
};

struct Problem {
    std::string text;
};

struct TempoChange {
    std::uint64_t pulse;
    std::uint32_t microsPerBeat;
};

// What the tracks hold, with times in pulses; message frames carry pulses until the end.
struct Content {
    std::vector<MidiMessage> messages;
    std::vector<TempoChange> tempos;
    int numerator = 0;
    int denominator = 0;
};

int dataBytes(unsigned status) {
    return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
}

// A meta event after its FF; returns its type.
unsigned readMeta(Reader& track, const std::string& where, std::uint64_t pulse, Content& content) {
    const auto type = track.byte();
    const auto length = track.quantity();
    if (!type || !length || *length > track.left())
        throw Problem{where + "a meta event runs past the end of the track"};
    Reader body = track.take(*length);
    if ((*type == 0x51 && *length != 3) || (*type == 0x58 && *length < 2))
        throw Problem{where + "a tempo or time signature event has the wrong length"};
    if (*type == 0x51) {
        const std::uint32_t micros = body.big(3);
        if (micros == 0) throw Problem{where + "a tempo change to 0 microseconds per beat"};
        content.tempos.push_back({pulse, micros});
    } else if (*type == 0x58 && pulse == 0) {
        const std::uint32_t numerator = body.big(1);
        const std::uint32_t power = body.big(1);
        if (numerator > 0 && power < 8) {
            content.numerator = static_cast<int>(numerator);
            content.denominator = 1 << power;
        }
    }
    return *type;
}

// Appends the track's channel messages, tempo changes and opening time signature.
void readTrack(Reader track, int number, Content& content) {
    const std::string where = "track " + std::to_string(number) + ": ";
    unsigned running = 0;
    std::uint64_t pulse = 0;
    while (!track.atEnd()) {
        const auto delta = track.quantity();
        if (!delta) throw Problem{where + "an event time runs past the end of the track"};
        pulse += *delta;
        const auto first = track.byte();
        if (!first) throw Problem{where + "the track ends inside an event"};
        if (*first == 0xFF) {
            if (readMeta(track, where, pulse, content) == 0x2F) {
                if (!track.atEnd()) throw Problem{where + "events follow the end of the track"};
                return;
            }
            continue;
        }
        // System exclusive messages (F0, and F7 packets or escapes) carry their length; none
        // reaches the effect.
        if (*first == 0xF0 || *first == 0xF7) {
            const auto length = track.quantity();
            if (!length || !track.skip(*length))
                throw Problem{where + "a system exclusive message runs past the end"};
            running = 0;
            continue;
        }
        if (*first > 0xF0) throw Problem{where + "a system message that does not belong in a file"};
        MidiMessage m{pulse, static_cast<std::uint8_t>(*first), 0, 0};
        int data = 0;
        if (*first < 0x80) {
            if (running == 0) throw Problem{where + "a data byte without a status"};
            m.status = static_cast<std::uint8_t>(running);
            m.data1 = static_cast<std::uint8_t>(*first);
            data = 1;  // the byte read is the first data byte
        }
        running = m.status;
        for (; data < dataBytes(m.status); ++data) {
            const auto b = track.byte();
            if (!b) throw Problem{where + "the track ends inside an event"};
            if (*b >= 0x80) throw Problem{where + "a message is cut short"};
            (data == 0 ? m.data1 : m.data2) = static_cast<std::uint8_t>(*b);
        }
        content.messages.push_back(m);
    }
    throw Problem{where + "no end-of-track marker"};
}

Content readContent(const std::vector<unsigned char>& bytes, int& division) {
    Reader file(bytes, 0, bytes.size());
    if (file.left() < 14 || bytes[0] != 'M' || bytes[1] != 'T' || bytes[2] != 'h' || bytes[3] != 'd')
        throw Problem{"no MIDI file header"};
    file.skip(4);
    const std::uint32_t headerLength = file.big(4);
    if (headerLength < 6 || headerLength > file.left()) throw Problem{"a broken MIDI file header"};
    const std::uint32_t format = file.big(2);
    const std::uint32_t declared = file.big(2);
    division = static_cast<int>(file.big(2));
    file.skip(headerLength - 6);
    if (format > 2) throw Problem{"MIDI file format " + std::to_string(format) + ", not 0, 1 or 2"};
    if (declared == 0) throw Problem{"no tracks"};

    Content content;
    std::uint32_t found = 0;
    while (!file.atEnd()) {
        if (file.left() < 8) throw Problem{"stray bytes after the last track"};
        const std::size_t start = file.offset();
        const bool isTrack = bytes[start] == 'M' && bytes[start + 1] == 'T' && bytes[start + 2] == 'r' &&
                             bytes[start + 3] == 'k';
        file.skip(4);
        const std::uint32_t length = file.big(4);
        if (length > file.left()) throw Problem{"a chunk runs past the end of the file"};
        if (isTrack)
            readTrack(Reader(bytes, file.offset(), file.offset() + length), static_cast<int>(++found),
                      content);
        file.skip(length);
    }
    if (found != declared)
        throw Problem{"the header promises " + std::to_string(declared) + " tracks, the file holds " +
                      std::to_string(found)};
    return content;
}

}  // namespace

MidiSong parseMidiFile(const std::vector<unsigned char>& bytes, double sampleRate,
                       std::optional<double> tempo, const std::string& name) {
    int division = 0;
    Content content;
    try {
        content = readContent(bytes, division);
    } catch (const Problem& problem) {
        throw fileError(name, "is not a MIDI file we can read (" + problem.text + ")");
    }
    if (division >= 0x8000) throw fileError(name, "counts time in SMPTE frames, which is not supported");
    if (division == 0) throw fileError(name, "is not a MIDI file we can read (0 pulses per beat)");

    // Tracks run side by side: merge them by time, file order breaking ties.
    const auto byPulse = [](const auto& a, const auto& b) { return a.pulse < b.pulse; };
    std::stable_sort(content.tempos.begin(), content.tempos.end(), byPulse);
    std::stable_sort(content.messages.begin(), content.messages.end(),
                     [](const MidiMessage& a, const MidiMessage& b) { return a.frame < b.frame; });

    MidiSong song{{}, TempoMap(tempo.value_or(120.0))};
    song.tempo.setTimeSignature(content.numerator, content.denominator);
    if (!tempo)
        for (const TempoChange& change : content.tempos)
            song.tempo.addChange(static_cast<double>(change.pulse) / division, 60e6 / change.microsPerBeat);

    // Frames far past any render are held where the arithmetic stays exact.
    constexpr double LAST_FRAME = 1e18;
    for (MidiMessage& m : content.messages) {
        const double seconds = song.tempo.secondsAt(static_cast<double>(m.frame) / division);
        m.frame = static_cast<std::uint64_t>(std::llround(std::min(seconds * sampleRate, LAST_FRAME)));
    }
    song.messages = std::move(content.messages);
    return song;
}

MidiSong readMidiFile(const std::string& path, double sampleRate, std::optional<double> tempo,
                      double pipeWaitSeconds) {
    InputFile file(path, pipeWaitSeconds);
    return parseMidiFile(file.readAll(LARGEST_MIDI_FILE, "a MIDI file"), sampleRate, tempo, path);
}
