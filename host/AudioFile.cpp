#include "host/AudioFile.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "framework/platform/AtomicFile.h"
#include "host/HostError.h"

namespace {

constexpr std::size_t CHUNK_FRAMES = 4096;
// A reader takes this many frames from the file at a time, however few the render asks for, and a
// writer gathers this many bytes before they go to the file: a few large reads and writes instead
// of one per block.
constexpr std::size_t READ_AHEAD_FRAMES = 1 << 15;
constexpr std::size_t WRITE_BUFFER_BYTES = 1 << 20;

// Stereo, the usual case, is split and joined four frames at a time; other channel counts
// sample by sample.
void deinterleave(const float* in, float* const* out, std::size_t to, std::size_t channels,
                  std::size_t frames) {
    std::size_t f = 0;
#if defined(__SSE__)
    if (channels == 2) {
        float* left = out[0] + to;
        float* right = out[1] + to;
        for (; f + 4 <= frames; f += 4) {
            const __m128 a = _mm_loadu_ps(in + 2 * f), b = _mm_loadu_ps(in + 2 * f + 4);
            _mm_storeu_ps(left + f, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
            _mm_storeu_ps(right + f, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
        }
    }
#endif
    for (; f < frames; ++f)
        for (std::size_t c = 0; c < channels; ++c) out[c][to + f] = in[f * channels + c];
}

void interleave(const float* const* in, std::size_t from, float* out, std::size_t channels,
                std::size_t frames) {
    std::size_t f = 0;
#if defined(__SSE__)
    if (channels == 2) {
        const float* left = in[0] + from;
        const float* right = in[1] + from;
        for (; f + 4 <= frames; f += 4) {
            const __m128 l = _mm_loadu_ps(left + f), r = _mm_loadu_ps(right + f);
            _mm_storeu_ps(out + 2 * f, _mm_unpacklo_ps(l, r));
            _mm_storeu_ps(out + 2 * f + 4, _mm_unpackhi_ps(l, r));
        }
    }
#endif
    for (; f < frames; ++f)
        for (std::size_t c = 0; c < channels; ++c) out[f * channels + c] = in[c][from + f];
}

std::string lowerExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

int outputFormat(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == "wav") return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (ext == "aif" || ext == "aiff") return SF_FORMAT_AIFF | SF_FORMAT_FLOAT;
    if (ext == "flac") return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    // A pipe or a device named without a type (/dev/stdout) takes WAV.
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)))
        return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    return 0;
}

// libsndfile's words for a failure, without its decoration.
std::string soundError(SNDFILE* sound) {
    std::string text = sf_strerror(sound);
    if (text.rfind("Error : ", 0) == 0) text.erase(0, 8);
    while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
    return text;
}

std::string rateProblem(std::uint64_t rate) {
    return "has a sample rate of " + std::to_string(rate) + " Hz; the effect runs at " +
           std::to_string(LOWEST_RATE) + " to " + std::to_string(HIGHEST_RATE) + " Hz";
}

// What the first bytes of a file say it is, how many frames its header promises, and what is
// wrong with it that libsndfile would not say clearly.
struct Header {
    const char* type = nullptr;  // "WAV", "AIFF", "FLAC", or null for anything else
    std::optional<std::uint64_t> promisedFrames;
    std::string problem;
    bool listOverrun = false;  // the problem is a LIST chunk libsndfile would never finish reading
};

// A file's bytes, read where asked, or the first bytes of a pipe, all there is to look at there.
class HeaderBytes {
public:
    explicit HeaderBytes(int descriptor) : fd(descriptor) {}
    // whole: the pipe ended within these bytes, so they are the whole file.
    HeaderBytes(const std::string& first, bool whole) : fd(-1), kept(&first), complete(whole) {}
    // Whether a look past the bytes there are finds the file's end.
    bool whole() const { return complete; }
    bool at(std::uint64_t offset, unsigned char* out, std::size_t n) const {
        if (kept == nullptr) return pread(fd, out, n, static_cast<off_t>(offset)) == static_cast<ssize_t>(n);
        if (offset > kept->size() || n > kept->size() - offset) return false;
        std::memcpy(out, kept->data() + offset, n);
        return true;
    }

private:
    int fd;
    const std::string* kept = nullptr;
    bool complete = true;
};

std::uint64_t number(const unsigned char* p, int bytes, bool little) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint64_t{p[i]} << (8 * (little ? i : bytes - 1 - i));
    return value;
}

bool is(const unsigned char* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

// Whether a WAV file's LIST chunk at offset, size bytes long, holds a part that claims to run past
// the chunk's end, or ends with the file before its parts do: libsndfile's reader of such a list
// never finishes.
bool listOverruns(const HeaderBytes& file, std::uint64_t offset, std::uint64_t size, bool little) {
    const std::uint64_t end = offset + 8 + size;
    std::uint64_t part = offset + 12;  // past the list's type
    for (int n = 0; n < 10000 && part + 8 <= end; ++n) {
        unsigned char h[8];
        if (!file.at(part, h, 8)) return file.whole();
        const std::uint64_t partSize = number(h + 4, 4, little);
        if (part + 8 + partSize > end) return true;
        part += 8 + partSize + (partSize & 1);
    }
    return false;
}

// Chunks of a WAV (RIFF, RIFX, RF64) or AIFF file, up to the sound data (a WAV file's LIST chunks
// to its end).
Header walkChunks(const HeaderBytes& file, const unsigned char* head) {
    const bool aiff = is(head, "FORM");
    const bool little = !aiff && !is(head, "RIFX");
    Header header{aiff ? "AIFF" : "WAV", std::nullopt, {}};
    std::uint64_t blockAlign = 0;
    std::optional<std::uint64_t> longDataSize;
    std::uint64_t offset = 12;
    bool pastData = false;
    for (int chunk = 0; chunk < 1000; ++chunk) {
        unsigned char h[8];
        unsigned char body[16];
        if (!file.at(offset, h, 8)) break;
        const std::uint64_t size = number(h + 4, 4, little);
        const bool hasBody = file.at(offset + 8, body, sizeof body);
        if (pastData && !is(h, "LIST")) {
            offset += 8 + size + (size & 1);
            continue;
        }
        if (aiff && is(h, "COMM") && hasBody) {
            header.promisedFrames = number(body + 2, 4, false);
            break;
        }
        if (is(h, "ds64") && hasBody) longDataSize = number(body + 8, 8, true);
        if (is(h, "fmt ") && hasBody) {
            blockAlign = number(body + 12, 2, little);
            const std::uint64_t rate = number(body + 4, 4, little);
            if (rate == 0) header.problem = rateProblem(rate);
            if (blockAlign == 0)
                header.problem = "is not a WAV file we can read (its frames are 0 bytes long)";
        }
        if (!aiff && is(h, "LIST") && listOverruns(file, offset, size, little)) {
            header.problem =
                "is not a WAV file we can read (its LIST chunk runs past its own end or the file's)";
            header.listOverrun = true;
            break;
        }
        if (!aiff && is(h, "data")) {
            // An unfinished or streamed file may say 0 or all ones: then there is no promise.
            const std::uint64_t bytes = size == 0xFFFFFFFF && longDataSize ? *longDataSize : size;
            if (blockAlign > 0 && bytes != 0 && bytes != 0xFFFFFFFF)
                header.promisedFrames = bytes / blockAlign;
            // Past sound data of a known size only LIST chunks are looked at.
            if (size == 0 || size == 0xFFFFFFFF) break;
            pastData = true;
        }
        offset += 8 + size + (size & 1);
    }
    return header;
}

Header examine(int fd) {
    const HeaderBytes file(fd);
    unsigned char head[12];
    if (!file.at(0, head, sizeof head)) return {};
    if ((is(head, "RIFF") || is(head, "RIFX") || is(head, "RF64") || is(head, "BW64")) &&
        is(head + 8, "WAVE"))
        return walkChunks(file, head);
    if (is(head, "FORM") && (is(head + 8, "AIFF") || is(head + 8, "AIFC"))) return walkChunks(file, head);
    std::uint64_t start = 0;
    if (std::memcmp(head, "ID3", 3) == 0) {  // a tag some programs put ahead of the stream
        start = 10 + ((head[6] & 0x7Fu) << 21 | (head[7] & 0x7Fu) << 14 | (head[8] & 0x7Fu) << 7 |
                      (head[9] & 0x7Fu));
        if (!file.at(start, head, 4)) return {};
    }
    if (!is(head, "fLaC")) return {};
    Header header{"FLAC", std::nullopt, {}};
    unsigned char info[4 + 18];  // the first metadata block's header, then its start
    if (file.at(start + 4, info, sizeof info) && (info[0] & 0x7F) == 0) {
        const std::uint64_t total = number(info + 4 + 13, 5, false) & 0xFFFFFFFFFull;  // 36 bits
        if (total > 0) header.promisedFrames = total;
    }
    return header;
}

bool readableType(int format) {
    switch (format & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_WAV:
        case SF_FORMAT_WAVEX:
        case SF_FORMAT_RF64:
        case SF_FORMAT_AIFF:
        case SF_FORMAT_FLAC:
            return true;
        default:
            return false;
    }
}

// RIFF and AIFF keep their sizes in 32 bits; this much is left for the header.
constexpr std::uint64_t SIZE_FIELD_LIMIT = 0xFFFFFFFFull - 4096;
// FLAC counts its frames in 36 bits.
constexpr std::uint64_t FLAC_FRAME_LIMIT = (std::uint64_t{1} << 36) - 1;

using Bytes = AudioWriter::Bytes;

sf_count_t bytesLength(void* user) {
    return static_cast<Bytes*>(user)->length;
}

sf_count_t bytesTell(void* user) {
    return static_cast<Bytes*>(user)->position;
}

sf_count_t bytesSeek(sf_count_t offset, int whence, void* user) {
    auto* b = static_cast<Bytes*>(user);
    const sf_count_t to = whence == SEEK_SET   ? offset
                          : whence == SEEK_CUR ? b->position + offset
                                               : b->length + offset;
    if (to < 0) return -1;
    b->position = to;
    return to;
}

// Writes out what the writer has gathered; false, with the reason kept, when it cannot.
bool flushBytes(Bytes& b) {
    std::size_t done = 0;
    while (done < b.pending.size()) {
        const ssize_t n = pwrite(b.fd, b.pending.data() + done, b.pending.size() - done,
                                 b.pendingAt + static_cast<std::int64_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            b.error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    b.pending.clear();
    return b.error == 0;
}

sf_count_t bytesRead(void* into, sf_count_t count, void* user) {
    auto* b = static_cast<Bytes*>(user);
    if (!flushBytes(*b)) return 0;
    auto* out = static_cast<char*>(into);
    sf_count_t done = 0;
    while (done < count && b->position + done < b->length) {
        const std::int64_t at = b->position + done;
        const std::int64_t want = std::min<std::int64_t>(count - done, b->length - at);
        ssize_t n = at < b->stored ? pread(b->fd, out + done,
                                           static_cast<std::size_t>(std::min(want, b->stored - at)), at)
                                   : 0;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            b->error = errno;
            break;
        }
        if (n == 0) {  // a hole: silence not yet written
            n = static_cast<ssize_t>(want);
            std::memset(out + done, 0, static_cast<std::size_t>(n));
        }
        done += n;
    }
    b->position += done;
    return done;
}

bool allZero(const char* p, std::size_t n) {
    return n > 0 && p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0;
}

sf_count_t bytesWrite(const void* from, sf_count_t count, void* user) {
    auto* b = static_cast<Bytes*>(user);
    const auto* in = static_cast<const char*>(from);
    if (b->holes && b->position >= b->stored && allZero(in, static_cast<std::size_t>(count))) {
        b->position += count;
        b->length = std::max(b->length, b->position);
        return count;
    }
    // Gathered while the writes follow on from one another; a failure to write out what was
    // gathered fails the write that found it.
    if (!b->pending.empty() && b->position != b->pendingAt + static_cast<std::int64_t>(b->pending.size()) &&
        !flushBytes(*b))
        return 0;
    if (b->pending.empty()) b->pendingAt = b->position;
    b->pending.insert(b->pending.end(), in, in + count);
    if (b->pending.size() >= WRITE_BUFFER_BYTES && !flushBytes(*b)) return 0;
    b->position += count;
    b->stored = std::max(b->stored, b->position);
    b->length = std::max(b->length, b->position);
    return count;
}

// The float formats' PEAK chunk carries the time it was written; a fixed 0 there makes the same
// render the same file.
bool clearPeakTime(int fd) {
    unsigned char head[512];
    const ssize_t got = pread(fd, head, sizeof head, 0);
    if (got < 12) return false;
    const bool aiff = is(head, "FORM");
    if (!aiff && !is(head, "RIFF") && !is(head, "RF64")) return false;
    for (std::size_t at = 12; at + 16 <= static_cast<std::size_t>(got);) {
        if (is(head + at, "PEAK")) {
            const unsigned char zero[4] = {};
            return pwrite(fd, zero, sizeof zero, static_cast<off_t>(at + 12)) == sizeof zero;
        }
        const std::uint64_t size = number(head + at + 4, 4, !aiff);
        at += 8 + size + (size & 1);
    }
    return false;
}

// Up to n bytes from the front of a pipe, left in it for whoever reads it next: what is there once
// n bytes have come or no more will; nothing when fd is no pipe.
std::string peekPipe(int fd, std::size_t n) {
    int scratch[2];
    if (pipe2(scratch, O_NONBLOCK | O_CLOEXEC) != 0) return {};
    std::string bytes;
    for (int wait = 0; wait < 10000; ++wait) {
        const ssize_t copied = tee(fd, scratch[1], n, SPLICE_F_NONBLOCK);
        if (copied > 0) {
            bytes.resize(static_cast<std::size_t>(copied));
            const ssize_t got = read(scratch[0], bytes.data(), bytes.size());
            bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        }
        if (copied < 0 && errno != EAGAIN && errno != EINTR) break;  // no pipe
        pollfd ended{fd, POLLIN, 0};
        if (bytes.size() >= n || copied == 0 || (poll(&ended, 1, 0) > 0 && (ended.revents & POLLHUP) != 0))
            break;
        usleep(1000);
    }
    close(scratch[0]);
    close(scratch[1]);
    return bytes;
}

// FLAC's decoder and libsndfile's RF64 reader go back to the start after looking at the first
// bytes, which a pipe cannot do by itself.
bool goesBackToTheStart(const std::string& head) {
    return head.rfind("fLaC", 0) == 0 || head.rfind("ID3", 0) == 0 || head.rfind("RF64", 0) == 0 ||
           head.rfind("BW64", 0) == 0;
}

// How much of a pipe's front is looked at before libsndfile reads it: a header and its lists.
constexpr std::size_t PIPE_PEEK_BYTES = 4096;

const unsigned char* byteData(const std::string& bytes) {
    return reinterpret_cast<const unsigned char*>(bytes.data());
}

// The first bytes a pipe reader keeps, where it can go back and forth: far more than a header.
// Past them the pipe is read in order only.
constexpr std::int64_t PIPE_HEAD_BYTES = 1 << 16;

using PipeStream = AudioReader::PipeStream;

sf_count_t pipeLength(void*) {
    return SF_COUNT_MAX;  // not known, as for any pipe
}

sf_count_t pipeTell(void* user) {
    return static_cast<PipeStream*>(user)->position;
}

// Reads on from the pipe, keeping what falls in its head; the number read, 0 at its end.
ssize_t takeFromPipe(PipeStream& p, unsigned char* out, std::size_t count) {
    ssize_t n;
    do n = read(p.fd, out, count);
    while (n < 0 && errno == EINTR);
    if (n <= 0) return 0;
    const std::int64_t keep = std::clamp<std::int64_t>(PIPE_HEAD_BYTES - p.taken, 0, n);
    p.head.insert(p.head.end(), out, out + keep);
    p.taken += n;
    return n;
}

sf_count_t pipeRead(void* into, sf_count_t count, void* user) {
    auto& p = *static_cast<PipeStream*>(user);
    auto* out = static_cast<unsigned char*>(into);
    const auto kept = static_cast<std::int64_t>(p.head.size());
    // A look far ahead (libsndfile's for chunks after the sound data) finds nothing, and takes
    // nothing out of the pipe.
    if (p.position > p.taken && p.position > PIPE_HEAD_BYTES) return 0;
    unsigned char skipped[4096];
    while (p.taken < p.position)
        if (takeFromPipe(
                p, skipped,
                static_cast<std::size_t>(std::min<std::int64_t>(p.position - p.taken, sizeof skipped))) == 0)
            return 0;
    sf_count_t done = 0;
    if (p.position < kept) {
        done = std::min<sf_count_t>(count, kept - p.position);
        std::memcpy(out, p.head.data() + p.position, static_cast<std::size_t>(done));
    }
    while (done < count && p.position + done == p.taken) {
        const ssize_t n = takeFromPipe(p, out + done, static_cast<std::size_t>(count - done));
        if (n == 0) break;
        done += n;
    }
    p.position += done;
    return done;
}

// base + offset, or -1 where a header's sizes would carry it past what a position can hold.
sf_count_t seekTarget(sf_count_t base, sf_count_t offset) {
    sf_count_t to = 0;
    return __builtin_add_overflow(base, offset, &to) ? -1 : to;
}

sf_count_t pipeSeek(sf_count_t offset, int whence, void* user) {
    auto& p = *static_cast<PipeStream*>(user);
    const sf_count_t to = whence == SEEK_SET   ? offset
                          : whence == SEEK_CUR ? seekTarget(p.position, offset)
                                               : -1;
    // Back only into the kept head; forward freely, as the pipe is read only when read from.
    if (to < 0 || (to < p.taken && to > static_cast<sf_count_t>(p.head.size()))) return -1;
    p.position = to;
    return to;
}

sf_count_t pipeWrite(const void*, sf_count_t, void*) {
    return 0;
}

using FileStream = AudioReader::FileStream;

constexpr std::size_t READ_BUFFER_BYTES = 1 << 18;

sf_count_t streamLength(void* user) {
    struct stat info {};
    return fstat(static_cast<FileStream*>(user)->fd, &info) == 0 ? info.st_size : -1;
}

sf_count_t streamTell(void* user) {
    return static_cast<FileStream*>(user)->position;
}

sf_count_t streamSeek(sf_count_t offset, int whence, void* user) {
    auto& f = *static_cast<FileStream*>(user);
    const sf_count_t to = whence == SEEK_SET   ? offset
                          : whence == SEEK_CUR ? seekTarget(f.position, offset)
                                               : seekTarget(streamLength(user), offset);
    if (to < 0) return -1;
    f.position = to;
    return to;
}

sf_count_t streamRead(void* into, sf_count_t count, void* user) {
    auto& f = *static_cast<FileStream*>(user);
    auto* out = static_cast<unsigned char*>(into);
    sf_count_t done = 0;
    while (done < count) {
        const std::int64_t at = f.position + done;
        const auto held = static_cast<std::int64_t>(f.buffer.size());
        if (at >= f.bufferAt && at < f.bufferAt + held) {
            const sf_count_t n = std::min<sf_count_t>(count - done, f.bufferAt + held - at);
            std::memcpy(out + done, f.buffer.data() + (at - f.bufferAt), static_cast<std::size_t>(n));
            done += n;
            continue;
        }
        f.buffer.resize(READ_BUFFER_BYTES);
        const ssize_t n = pread(f.fd, f.buffer.data(), f.buffer.size(), at);
        f.buffer.resize(static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        f.bufferAt = at;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) f.error = errno;
        if (n <= 0) break;
    }
    f.position += done;
    return done;
}

const std::string& checkedOutputName(const std::string& path) {
    checkOutputName(path);
    return path;
}

}  // namespace

AudioReader::AudioReader(const std::string& path, double pipeWaitSeconds) : file(path, pipeWaitSeconds) {
    // A file that can be looked at is known by its first bytes before libsndfile sees it, which
    // spares the decoders' guesses (and their messages) on anything else.
    Header header;
    if (file.canReadAt()) {
        header = examine(file.descriptor());
        if (header.type == nullptr) throw fileError(path, "is not a WAV, AIFF or FLAC file");
        if (!header.problem.empty()) throw fileError(path, header.problem);
        promised = header.promisedFrames;
    }
    SF_INFO info{};
    // A pipe's first bytes are looked at only for what would keep libsndfile from ever returning.
    const std::string first = file.canReadAt() ? "" : peekPipe(file.descriptor(), PIPE_PEEK_BYTES);
    const std::string start = first.substr(0, 4);
    if (first.size() >= 12 && (is(byteData(first), "RIFF") || is(byteData(first), "RIFX")) &&
        is(byteData(first) + 8, "WAVE")) {
        const Header piped = walkChunks(HeaderBytes(first, first.size() < PIPE_PEEK_BYTES), byteData(first));
        if (piped.listOverrun) throw fileError(path, piped.problem);
    }
    if (goesBackToTheStart(start)) {
        pipe = std::make_unique<PipeStream>();
        pipe->fd = file.descriptor();
        SF_VIRTUAL_IO io{pipeLength, pipeSeek, pipeRead, pipeWrite, pipeTell};
        sound.reset(sf_open_virtual(&io, SFM_READ, &info, pipe.get()));
        header.type = start[0] == 'R' || start[0] == 'B' ? "WAV" : "FLAC";
    } else if (file.canReadAt()) {
        stream = std::make_unique<FileStream>();
        stream->fd = file.descriptor();
        SF_VIRTUAL_IO io{streamLength, streamSeek, streamRead, pipeWrite, streamTell};
        sound.reset(sf_open_virtual(&io, SFM_READ, &info, stream.get()));
    } else {
        sound.reset(sf_open_fd(file.descriptor(), SFM_READ, &info, SF_FALSE));
    }
    if (!sound)
        throw fileError(path, std::string("is not ") +
                                  (header.type ? std::string("a ") + header.type : "an audio") +
                                  " file we can read (" + soundError(nullptr) + ")");
    if (!readableType(info.format)) throw fileError(path, "is not a WAV, AIFF or FLAC file");
    if (info.channels < 1 || info.channels > 2)
        throw fileError(path, "has " + std::to_string(info.channels) +
                                  " channels; only mono and stereo files can be rendered");
    if (info.samplerate < LOWEST_RATE || info.samplerate > HIGHEST_RATE)
        throw fileError(path, rateProblem(static_cast<std::uint64_t>(std::max(info.samplerate, 0))));
    rate = info.samplerate;
    channelCount = static_cast<std::uint32_t>(info.channels);
    if (file.canReadAt() && info.frames > 0 && info.frames < SF_COUNT_MAX)
        expected = static_cast<std::uint64_t>(info.frames);
}

std::size_t AudioReader::read(float* const* out, std::size_t frames) {
    std::size_t n = 0;
    while (n < frames) {
        if (aheadAt == aheadFrames) {
            if (ended) break;
            const std::size_t want = std::max(READ_AHEAD_FRAMES, frames - n);
            interleaved.resize(std::max(interleaved.size(), want * channelCount));
            const sf_count_t got =
                sf_readf_float(sound.get(), interleaved.data(), static_cast<sf_count_t>(want));
            if (got < static_cast<sf_count_t>(want) && sf_error(sound.get()) != SF_ERR_NO_ERROR)
                throw fileError(file.path(), "cannot be read to the end (" + soundError(sound.get()) + ")");
            // libsndfile takes a failed read through a stream for the end of the file; in its words
            // for a failed read of its own.
            if (stream && stream->error != 0)
                throw fileError(file.path(), std::string("cannot be read to the end (System error : ") +
                                                 std::strerror(stream->error) + ")");
            aheadFrames = static_cast<std::size_t>(std::max<sf_count_t>(got, 0));
            aheadAt = 0;
            ended = aheadFrames < want;  // libsndfile reads on until it has all or the file ends
            continue;
        }
        const std::size_t take = std::min(frames - n, aheadFrames - aheadAt);
        deinterleave(interleaved.data() + aheadAt * channelCount, out, n, channelCount, take);
        aheadAt += take;
        n += take;
    }
    done += n;
    return n;
}

AudioWriter::Spool::~Spool() {
    if (fd >= 0) close(fd);
}

AudioWriter::AudioWriter(const std::string& path, double sampleRate, std::uint32_t channels,
                         std::optional<std::uint64_t> mostFrames)
    : output(checkedOutputName(path)), channelCount(channels), rate(sampleRate) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = static_cast<int>(channels);
    info.format = outputFormat(path);
    if (channels == 0 || sf_format_check(&info) == 0)
        throw fileError(path, "cannot hold " + std::to_string(info.channels) + " channels at " +
                                  std::to_string(info.samplerate) + " Hz");
    const std::uint64_t sizedFrames = SIZE_FIELD_LIMIT / (std::uint64_t{channels} * sizeof(float));
    const int type = info.format & SF_FORMAT_TYPEMASK;
    frameLimit = type == SF_FORMAT_FLAC ? FLAC_FRAME_LIMIT : sizedFrames;
    // A WAV whose length is not known, or too long for 32-bit sizes, starts as RF64.
    const bool longWav = type == SF_FORMAT_WAV && (!mostFrames || *mostFrames > sizedFrames);
    if (longWav) {
        info.format = SF_FORMAT_RF64 | SF_FORMAT_FLOAT;
        frameLimit = UINT64_MAX;
    }
    if (mostFrames && *mostFrames > frameLimit) throw fileError(path, tooLong(mostFrames));

    if (output.positional()) {
        bytes.fd = output.descriptor();
        bytes.holes = !output.direct();
    } else {
        spool.fd = openUnnamedFile();
        if (spool.fd < 0)
            fail("cannot be written (no temporary file can be made for it: " + plainFileProblem(errno) + ")");
        bytes.fd = spool.fd;
        bytes.holes = true;
    }
    bytes.pending.reserve(WRITE_BUFFER_BYTES + CHUNK_FRAMES * channels * sizeof(float));
    SF_VIRTUAL_IO io{bytesLength, bytesSeek, bytesRead, bytesWrite, bytesTell};
    sound.reset(sf_open_virtual(&io, SFM_WRITE, &info, &bytes));
    // The header goes out at once, so that an output that cannot be written fails before the render.
    if (!sound || !flushBytes(bytes)) fail("cannot be written (" + soundError(nullptr) + ")");
    sf_command(sound.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (longWav) sf_command(sound.get(), SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
}

std::string AudioWriter::tooLong(std::optional<std::uint64_t> frames) const {
    char text[256];
    const double most = static_cast<double>(frameLimit) / rate;
    const int format = outputFormat(output.target()) & SF_FORMAT_TYPEMASK;
    const char* type = format == SF_FORMAT_FLAC ? "a FLAC" : format == SF_FORMAT_AIFF ? "an AIFF" : "a WAV";
    if (frames)
        std::snprintf(text, sizeof text,
                      "is %s file, which holds at most %.1f s at %.0f Hz, less than the %.1f s this "
                      "render may make; name it .wav or .flac",
                      type, most, rate, static_cast<double>(*frames) / rate);
    else
        std::snprintf(text, sizeof text,
                      "is %s file, which holds at most %.1f s at %.0f Hz, and the render went on "
                      "longer; name it .wav or .flac",
                      type, most, rate);
    return text;
}

void AudioWriter::fail(const std::string& what) const {
    if (bytes.error != 0)
        throw fileError(output.target(), "cannot be written (" + plainFileProblem(bytes.error) + ")");
    throw fileError(output.target(), what);
}

void AudioWriter::write(const float* const* channels, std::size_t frames) {
    if (frames > frameLimit - written) throw fileError(output.target(), tooLong(std::nullopt));
    interleaved.resize(std::min(frames, CHUNK_FRAMES) * channelCount);
    for (std::size_t pos = 0; pos < frames;) {
        const std::size_t n = std::min(CHUNK_FRAMES, frames - pos);
        interleave(channels, pos, interleaved.data(), channelCount, n);
        if (sf_writef_float(sound.get(), interleaved.data(), static_cast<sf_count_t>(n)) !=
            static_cast<sf_count_t>(n))
            fail("cannot be written (" + soundError(sound.get()) + ")");
        pos += n;
    }
    written += frames;
}

void AudioWriter::commit() {
    if (sf_close(sound.release()) != 0 || !flushBytes(bytes)) fail("cannot be written (closing failed)");
    if (bytes.holes) {
        if (bytes.length > bytes.stored && ftruncate(bytes.fd, bytes.length) != 0) {
            bytes.error = errno;
            fail("cannot be written");
        }
        clearPeakTime(bytes.fd);
    }
    if (spool.fd >= 0) {
        std::vector<char> chunk(1 << 16);
        for (std::int64_t at = 0; at < bytes.length;) {
            const ssize_t n = pread(spool.fd, chunk.data(), chunk.size(), at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                bytes.error = n < 0 ? errno : EIO;
                fail("cannot be written");
            }
            output.write(chunk.data(), static_cast<std::size_t>(n));
            at += n;
        }
    }
    output.commit(false);  // audio can be rendered again: no wait for the disk
}

void checkOutputName(const std::string& path) {
    if (outputFormat(path) == 0)
        throw fileError(path, "has an unknown audio type; name it .wav, .aiff or .flac");
}

AudioData readAudioFile(const std::string& path) {
    AudioReader reader(path);
    AudioData audio;
    audio.sampleRate = reader.sampleRate();
    audio.channels.resize(reader.channels());
    std::vector<float*> at(reader.channels());
    for (std::size_t got = CHUNK_FRAMES; got == CHUNK_FRAMES;) {
        const std::size_t have = audio.frames();
        for (std::size_t c = 0; c < at.size(); ++c) {
            audio.channels[c].resize(have + CHUNK_FRAMES);
            at[c] = audio.channels[c].data() + have;
        }
        got = reader.read(at.data(), CHUNK_FRAMES);
        for (auto& channel : audio.channels) channel.resize(have + got);
    }
    return audio;
}

void writeAudioFile(const std::string& path, const AudioData& audio) {
    AudioWriter writer(path, audio.sampleRate, static_cast<std::uint32_t>(audio.channels.size()),
                       audio.frames());
    std::vector<const float*> pointers;
    for (const auto& c : audio.channels) pointers.push_back(c.data());
    writer.write(pointers.data(), audio.frames());
    writer.commit();
}
