#include "tests/host/HostileFiles.h"

#include <cmath>
#include <cstdint>

#include "component/TarnwellComponent.h"
#include "host/AudioFile.h"
#include "host/SavedState.h"
#include "tests/support/TempFolder.h"

namespace tarnwell::test {
namespace {

std::string little(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string big(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string repeat(const std::string& text, std::size_t times) {
    std::string out;
    out.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
}

// 16-bit samples of a ramp, in the byte order given.
std::string samples(std::uint64_t count, bool littleEndian) {
    std::string out;
    for (std::uint64_t i = 0; i < count; ++i)
        out += littleEndian ? little(i * 37 % 20000, 2) : big(i * 37 % 20000, 2);
    return out;
}

std::string fmtChunk(std::uint32_t channels, std::uint32_t rate, std::uint32_t blockAlign) {
    return "fmt " + little(16, 4) + little(1, 2) + little(channels, 2) + little(rate, 4) +
           little(static_cast<std::uint64_t>(rate) * blockAlign & 0xFFFFFFFF, 4) + little(blockAlign, 2) +
           little(16, 2);
}

// A 16-bit WAV whose data chunk says claimed frames and holds frames; first, when given, a chunk
// of the walk's own (its pad byte included).
std::string wav(std::uint32_t channels, std::uint32_t rate, std::uint32_t frames, std::uint32_t claimed,
                std::uint32_t blockAlign, const std::string& first = "") {
    const std::string body = "WAVE" + first + fmtChunk(channels, rate, blockAlign) + "data" +
                             little(static_cast<std::uint64_t>(claimed) * blockAlign, 4) +
                             samples(static_cast<std::uint64_t>(frames) * channels, true);
    return "RIFF" + little(body.size(), 4) + body;
}

std::string wav(std::uint32_t channels, std::uint32_t rate, std::uint32_t frames) {
    return wav(channels, rate, frames, frames, 2 * channels);
}

// An RF64 file whose 64-bit data size says dataBytes.
std::string rf64(std::uint64_t dataBytes, std::uint32_t frames) {
    const std::string ds64 = "ds64" + little(28, 4) + little(0xFFFFFFFFFFull, 8) + little(dataBytes, 8) +
                             little(dataBytes / 4, 8) + little(0, 4);
    return "RF64" + little(0xFFFFFFFF, 4) + "WAVE" + ds64 + fmtChunk(2, 44100, 4) + "data" +
           little(0xFFFFFFFF, 4) + samples(2ull * frames, true);
}

// The 80-bit extended number AIFF keeps its rate in.
std::string extended(double value) {
    int exponent = 0;
    const double mantissa =
        std::frexp(value, &exponent);  // value = mantissa * 2^exponent, mantissa in [0.5, 1)
    return big(static_cast<std::uint64_t>(exponent - 1 + 16383), 2) +
           big(static_cast<std::uint64_t>(std::ldexp(mantissa, 64)), 8);
}

std::string aiff(double rate, std::uint32_t frames, std::uint32_t claimed, const std::string& first = "") {
    const std::string comm = "COMM" + big(18, 4) + big(1, 2) + big(claimed, 4) + big(16, 2) + extended(rate);
    const std::string sound = samples(frames, false);
    const std::string ssnd = "SSND" + big(8 + sound.size(), 4) + big(0, 4) + big(0, 4) + sound;
    return "FORM" + big(4 + first.size() + comm.size() + ssnd.size(), 4) + "AIFF" + first + comm + ssnd;
}

// A real FLAC stream whose STREAMINFO promises promised frames.
std::string flac(std::uint64_t promised) {
    const TempFolder folder;
    AudioData audio;
    audio.channels.assign(2, std::vector<float>(4000));
    for (std::size_t i = 0; i < 4000; ++i)
        audio.channels[0][i] = audio.channels[1][i] = std::sin(0.05f * static_cast<float>(i));
    writeAudioFile(folder.path("f.flac"), audio);
    std::string bytes = folder.read("f.flac");
    // STREAMINFO starts at 8; its total sample count is the low 36 bits of bytes 13..17.
    std::string count = big(promised, 5);
    count[0] = static_cast<char>((bytes[8 + 13] & 0xF0) | (count[0] & 0x0F));
    bytes.replace(8 + 13, 5, count);
    return bytes;
}

std::string vlq(std::uint32_t value) {
    std::string out(1, static_cast<char>(value & 0x7F));
    while ((value >>= 7) != 0) out.insert(out.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    return out;
}

const std::string END_OF_TRACK("\0\xFF\x2F\0", 4);
const std::string NOTE("\0\x90\x3C\x40\x30\x80\x3C\0", 8);

std::string track(const std::string& events) {
    return "MTrk" + big(events.size(), 4) + events;
}

std::string xml(CFPropertyListRef list) {
    const CFRef<CFTypeRef> data(
        CFPropertyListCreateData(kCFAllocatorDefault, list, kCFPropertyListXMLFormat_v1_0, 0, nullptr));
    const auto* bytes = static_cast<CFDataRef>(data.get());
    return std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(bytes)),
                       static_cast<std::size_t>(CFDataGetLength(bytes)));
}

const ComponentIdentity OURS{kTarnwellComponentDescription.componentType,
                             kTarnwellComponentDescription.componentSubType,
                             kTarnwellComponentDescription.componentManufacturer};

// A state of ours, holding one program record or none, with each key set to its value (taken over).
std::string state(std::initializer_list<std::pair<const char*, CFTypeRef>> changes, bool withProgram = true) {
    CFRef<CFTypeRef> dict =
        withProgram
            ? programState(OURS, {1, 1024}, "Hostile", std::vector<float>(1024, 0.5f))
            : CFRef<CFTypeRef>(CFDictionaryCreateMutable(
                  kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    auto* mutableDict = const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(dict.get()));
    if (!withProgram) completePresetKeys(mutableDict, OURS, "Hostile");
    for (const auto& [key, value] : changes) {
        CFDictionarySetValue(mutableDict, makeCFString(key).get(), value);
        CFRelease(value);
    }
    return xml(dict.get());
}

CFTypeRef number(SInt64 value) {
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value);
}

CFTypeRef data(const std::string& bytes) {
    return CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.data()),
                        static_cast<CFIndex>(bytes.size()));
}

// Only the effect's own chunk: 1024 little-endian values, then a 32-byte name.
std::string chunkOnly() {
    const std::string chunk = repeat(little(0x3F000000, 4), 1024) + "Chunk Only" + std::string(22, '\0');
    return state({{"mChunkData", data(chunk)}}, false);
}

}  // namespace

std::string midiFile(const std::vector<std::string>& tracks, std::uint32_t division) {
    std::string file =
        "MThd" + big(6, 4) + big(tracks.size() > 1 ? 1 : 0, 2) + big(tracks.size(), 2) + big(division, 2);
    for (const std::string& t : tracks) file += track(t);
    return file;
}

std::vector<HostileFile> hostileAudioFiles() {
    const std::string short1000 = "the file ends 4000 frames (0.091 s) short of what its header promises";
    const std::string shorter = "the file ends ";
    return {
        {"rate-2147483647.wav", wav(1, 2147483647u, 100), "has a sample rate of 2147483647 Hz", false},
        {"rate-1e9.wav", wav(2, 1000000000u, 100), "has a sample rate of 1000000000 Hz", false},
        {"rate-1e47.aiff", aiff(1e47, 100, 100), "has a sample rate of", false},
        {"rate-0.wav", wav(1, 0, 100), "has a sample rate of 0 Hz", false},
        {"channels-3.wav", wav(3, 44100, 100), "has 3 channels", false},
        {"channels-0.wav", wav(0, 44100, 100, 100, 2),
         "is not a WAV file we can read (Channel count is zero)", false},
        {"block-align-0.wav", wav(1, 44100, 100, 100, 0),
         "is not a WAV file we can read (its frames are 0 bytes long)", false},
        {"data-past-end.wav", wav(1, 44100, 1000, 5000, 2), short1000, true},
        {"frames-past-end.aiff", aiff(44100.0, 1000, 5000), short1000, true},
        // A chunk of odd size is followed by a pad byte, which the walk to the sound data steps over.
        {"odd-list-then-data-past-end.wav",
         wav(1, 44100, 1000, 5000, 2, "LIST" + little(5, 4) + "INFOx" + '\0'), short1000, true},
        {"odd-name-then-frames-past-end.aiff", aiff(44100.0, 1000, 5000, "NAME" + big(3, 4) + "abc" + '\0'),
         short1000, true},
        {"rf64-2^60-bytes.wav", rf64(1ull << 60, 1000), shorter + "288230376151710744 frames", true},
        {"flac-2^36-frames.flac", flac((1ull << 36) - 1), shorter + "68719472735 frames", true},
        {"text.wav", "not audio at all", "is not a WAV, AIFF or FLAC file", false},
        {"empty.wav", "", "is not a WAV, AIFF or FLAC file", false},
        {"mpeg.flac", "\xFF\xFB\x90\x00" + std::string(500, '0'), "is not a WAV, AIFF or FLAC file", false},
        {"chunk-sizes-of-all-ones.wav", "RIFF" + little(0xFFFFFFFF, 4) + "WAVEjunk" + little(0xFFFFFFFF, 4),
         "is not a WAV file we can read (Error in WAV file. No 'data' chunk marker)", false},
        // A LIST whose parts claim more than the list holds: libsndfile's reader of it never returned.
        {"list-parts-past-its-end.wav",
         "RIFX" + big(0x02080010, 4) + "WAVELIST" + big(0x0501D70A, 4) + '\xFC' + std::string(246, '\xFF') +
             '(' + std::string(20, '\xFF'),
         "is not a WAV file we can read (its LIST chunk runs past its own end or the file's)", false},
        // An RF64 file whose sound data is said to end just short of the largest position: a seek
        // past it must be refused, not carried round.
        {"rf64-data-to-the-largest-position.wav",
         "RF64" + little(0xFFFFFFFF, 4) + "WAVEds64" + little(28, 4) + little(0x000297FFFFFFFFFF, 8) +
             little(0x7FFFFFFFFFFFFFC9, 8) + little(0x0400000000000000, 8) + little(0, 4) + "fmt " +
             little(16, 4) + little(1, 2) + little(8, 2) + little(44100, 4) + little(0x2B110, 4) +
             little(4, 2) + little(16, 2) + "data" + little(0xFFFFFFFF, 4) + little(0x00250000, 4) +
             little(0x006F004A, 4) + std::string(10, '\0'),
         "has 8 channels", false},
        // A LIST that the file ends inside: the same endless read.
        {"list-past-the-end.wav",
         "RIFF" + little(0x4B000C02, 4) + "WAVELIST" + little(0x746D6600, 4) + "\x1F\xFA\x0A" +
             std::string(7, '\xFF') + "\x3B" + std::string(7, '\0') + std::string(138, '\xFF') +
             "\x78\xFF\xFF\xFF" + std::string(1, '\0') + " fMt" + std::string(2, '\0') + "\x12",
         "is not a WAV file we can read (its LIST chunk runs past its own end or the file's)", false},
    };
}

std::vector<HostileFile> hostileMidiFiles() {
    std::string tempos;
    for (int i = 0; i < 200000; ++i)
        tempos += std::string("\x01\xFF\x51\x03\x07\xA1\x20\x00\x90\x3C\x40", 11);
    return {
        {"sysex-f7.mid",
         midiFile({std::string("\0\xF0\x03\x7E\x01\xF7\0\xF7\x02\x01\xF7", 11) + NOTE + END_OF_TRACK}), "",
         true},
        {"long-text.mid",
         midiFile({std::string("\0\xFF\x01", 3) + vlq(300) + std::string(300, 't') + NOTE + END_OF_TRACK}),
         "", true},
        {"tracks-65535.mid", midiFile(std::vector<std::string>(65535, repeat(NOTE, 16) + END_OF_TRACK)), "",
         true},
        {"tempos-200000.mid", midiFile({tempos + END_OF_TRACK}), "", true},
        {"far-apart.mid",
         midiFile({repeat(std::string("\xFF\xFF\xFF\x7F\x90\x3C\x40", 7), 1000) + END_OF_TRACK}), "", true},
        {"tempo-0.mid", midiFile({std::string("\0\xFF\x51\x03\0\0\0", 7) + END_OF_TRACK}),
         "a tempo change to 0", false},
        {"smpte.mid", midiFile({NOTE + END_OF_TRACK}, 0xE728), "counts time in SMPTE frames", false},
        {"chunk-past-end.mid", midiFile({NOTE + END_OF_TRACK}).substr(0, 26), "a chunk runs past the end",
         false},
        {"five-byte-time.mid", midiFile({std::string("\xFF\xFF\xFF\xFF\x7F\x90\x3C\x40", 8) + END_OF_TRACK}),
         "an event time runs past the end", false},
        {"data-after-sysex.mid", midiFile({std::string("\0\xF0\x01\xF7\0\x3C\x40", 7) + END_OF_TRACK}),
         "a data byte without a status", false},
        {"not-midi.mid", "MThx" + std::string(20, '\0'), "no MIDI file header", false},
        {"format-3.mid", std::string("MThd\0\0\0\x06\0\x03\0\x01\0\x60", 14), "MIDI file format 3", false},
        {"tracks-promised-2.mid",
         "MThd" + big(6, 4) + big(1, 2) + big(2, 2) + big(96, 2) + track(END_OF_TRACK),
         "the header promises 2 tracks, the file holds 1", false},
        {"no-end.mid", midiFile({NOTE}), "track 1: no end-of-track marker", false},
        {"cut-short.mid", midiFile({std::string("\0\x90\x3C\x90", 4) + END_OF_TRACK}),
         "a message is cut short", false},
        {"tempo-2-bytes.mid", midiFile({std::string("\0\xFF\x51\x02\x07\xA1", 6) + END_OF_TRACK}),
         "has the wrong length", false},
        {"meta-past-end.mid",
         midiFile({std::string("\0\xFF\x01\x09"
                               "ab",
                               6) +
                   END_OF_TRACK}),
         "a meta event runs past the end of the track", false},
        // One byte past the track, with a track after it: FF 51 03 with two bytes left, FF 2F 01 with none.
        {"tempo-one-byte-past.mid",
         midiFile({NOTE + std::string("\0\xFF\x51\x03\x07\xA1", 6), NOTE + END_OF_TRACK}),
         "track 1: a meta event runs past the end of the track", false},
        {"end-one-byte-past.mid", midiFile({NOTE + std::string("\0\xFF\x2F\x01", 4), NOTE + END_OF_TRACK}),
         "track 1: a meta event runs past the end of the track", false},
        {"sysex-past-end.mid", midiFile({std::string("\0\xF0\x7F\x01", 4) + END_OF_TRACK}),
         "a system exclusive message runs past the end", false},
        {"clock-in-file.mid", midiFile({std::string("\0\xF8", 2) + END_OF_TRACK}),
         "a system message that does not belong", false},
        {"after-the-end.mid", midiFile({END_OF_TRACK + NOTE}), "events follow the end of the track", false},
    };
}

std::vector<HostileFile> hostileStates() {
    std::string keys;
    for (int k = 0; k < 200000; ++k) keys += "<key>k" + std::to_string(k) + "</key><integer>1</integer>";
    return {
        {"nested-300000.aupreset",
         "<plist>" + repeat("<dict><key>a</key>", 300000) + repeat("</dict>", 300000) + "</plist>",
         "containers nested more than 256 deep", false},
        {"keys-200000.aupreset", "<plist><dict>" + keys + "</dict></plist>",
         "a dictionary of more than 10000 keys", false},
        {"entities.aupreset",
         "<plist><dict><key>name</key><string>" + repeat("&amp;", 500000) + "</string></dict></plist>",
         "a text with more than 1000 character references", false},
        {"version-1.aupreset", state({{"version", number(1)}}), "a saved state of format version 1", false},
        {"version-as-text.aupreset",
         state({{"version", CFStringCreateWithCString(nullptr, "0", kCFStringEncodingUTF8)}}),
         "version is not a number", false},
        {"type-above-32-bits.aupreset", state({{"type", number((SInt64{1} << 32) | OURS.type)}}),
         "belongs to another component", false},
        {"short-record.aupreset", state({{"mCompleteData", data(std::string(4123, '\0'))}}),
         "program data of the wrong size", false},
        {"record-4125-bytes.aupreset", state({{"mCompleteData", data(std::string(4125, '\0'))}}),
         "holds program data of the wrong size (4125 bytes where 4124 belong)", false},
        {"record-4126-bytes.aupreset", state({{"mCompleteData", data(std::string(4126, '\0'))}}),
         "holds program data of the wrong size (4126 bytes where 4124 belong)", false},
        {"no-program.aupreset", state({}, false), "holds no program data", false},
        {"chunk-4127-bytes.aupreset", state({{"mChunkData", data(std::string(4127, '\0'))}}, false),
         "holds a chunk of the wrong size (4127 bytes where 4128 belong)", false},
        {"chunk-4129-bytes.aupreset", state({{"mChunkData", data(std::string(4129, '\0'))}}, false),
         "holds a chunk of the wrong size (4129 bytes where 4128 belong)", false},
        {"record-as-number.aupreset", state({{"mCompleteData", number(4124)}}), "mCompleteData is not data",
         false},
        {"type-as-text.aupreset",
         state({{"type", CFStringCreateWithCString(nullptr, "aumf", kCFStringEncodingUTF8)}}),
         "type, subtype or manufacturer missing", false},
        {"program-as-text.aupreset",
         state({{"mCurPreset", CFStringCreateWithCString(nullptr, "0", kCFStringEncodingUTF8)}}),
         "mCurPreset is not a program number", false},
        {"array.aupreset", "<plist><array/></plist>", "the property list holds no dictionary", false},
        {"binary.aupreset", "bplist00" + std::string(40, '\0'), "not an XML property list", false},
        {"empty.aupreset", "", "not an XML property list", false},
        {"chunk-only.aupreset", chunkOnly(), "", true},
    };
}

}  // namespace tarnwell::test
