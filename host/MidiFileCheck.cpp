#include "host/MidiFileCheck.h"

#include <cstdint>
#include <optional>

namespace {

// The largest time a track may reach, in pulses: libsmf counts them in an int.
constexpr std::uint64_t LONGEST_TRACK = 0x7FFFFFFF;

class Reader {
public:
    Reader(const std::vector<unsigned char>& data, std::size_t from, std::size_t to)
        : bytes(data), pos(from), end(to) {}

    bool atEnd() const { return pos >= end; }
    std::size_t left() const { return end - pos; }
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

int dataBytes(unsigned status) {
    return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
}

std::string trackProblem(Reader track, int number) {
    const std::string where = "track " + std::to_string(number) + ": ";
    unsigned running = 0;
    std::uint64_t time = 0;
    while (!track.atEnd()) {
        const auto delta = track.quantity();
        if (!delta) return where + "an event time runs past the end of the track";
        time += *delta;
        if (time > LONGEST_TRACK) return where + "events lie too far apart";
        auto first = track.byte();
        if (!first) return where + "the track ends inside an event";
        if (*first == 0xFF) {
            const auto type = track.byte();
            const auto length = track.quantity();
            if (!type || !length || !track.skip(*length))
                return where + "a meta event runs past the end of the track";
            if ((*type == 0x51 && *length != 3) || (*type == 0x58 && *length != 4))
                return where + "a tempo or time signature event has the wrong length";
            if (*type == 0x2F)
                return track.atEnd() ? std::string() : where + "events follow the end of the track";
            continue;
        }
        if (*first == 0xF0 || *first == 0xF7) {
            const auto length = track.quantity();
            if (!length || !track.skip(*length))
                return where + "a system exclusive message runs past the end";
            running = 0;
            continue;
        }
        if (*first > 0xF0) return where + "a system message that does not belong in a file";
        unsigned status = *first;
        int data = 0;
        if (*first < 0x80) {
            if (running == 0) return where + "a data byte without a status";
            status = running;
            data = 1;  // the byte read is the first data byte
        }
        running = status;
        for (; data < dataBytes(status); ++data) {
            const auto b = track.byte();
            if (!b) return where + "the track ends inside an event";
            if (*b >= 0x80) return where + "a message is cut short";
        }
    }
    return where + "no end-of-track marker";
}

}  // namespace

std::string midiFileProblem(const std::vector<unsigned char>& bytes) {
    Reader file(bytes, 0, bytes.size());
    if (file.left() < 14 || bytes[0] != 'M' || bytes[1] != 'T' || bytes[2] != 'h' || bytes[3] != 'd')
        return "no MIDI file header";
    file.skip(4);
    const std::uint32_t headerLength = file.big(4);
    if (headerLength < 6 || headerLength > file.left()) return "a broken MIDI file header";
    const std::uint32_t format = file.big(2);
    const std::uint32_t declared = file.big(2);
    file.skip(2 + (headerLength - 6));
    if (format > 2) return "MIDI file format " + std::to_string(format) + ", not 0, 1 or 2";
    if (declared == 0) return "no tracks";

    std::uint32_t found = 0;
    while (!file.atEnd()) {
        if (file.left() < 8) return "stray bytes after the last track";
        const std::size_t start = bytes.size() - file.left();
        const bool isTrack = bytes[start] == 'M' && bytes[start + 1] == 'T' && bytes[start + 2] == 'r' &&
                             bytes[start + 3] == 'k';
        file.skip(4);
        const std::uint32_t length = file.big(4);
        if (length > file.left()) return "a chunk runs past the end of the file";
        if (isTrack) {
            const std::size_t from = bytes.size() - file.left();
            const std::string problem =
                trackProblem(Reader(bytes, from, from + length), static_cast<int>(found + 1));
            if (!problem.empty()) return problem;
            ++found;
        }
        file.skip(length);
    }
    if (found != declared)
        return "the header promises " + std::to_string(declared) + " tracks, the file holds " +
               std::to_string(found);
    return {};
}
