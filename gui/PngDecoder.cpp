#include "gui/PngDecoder.h"

#include <cairo.h>
#include <emmintrin.h>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

uint32_t bigEndian(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        bytes.resize(static_cast<size_t>(info.st_size));
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        ok = got == bytes.size();
    }
    close(fd);
    return ok;
}

struct Header {
    uint32_t width = 0;
    uint32_t height = 0;
    int channels = 0;  // 3 RGB, 4 RGBA
};

// Reads the header and gathers the image data; false for anything left to cairo's reader.
bool parseChunks(const std::vector<uint8_t>& file, Header& header, std::vector<uint8_t>& data) {
    static const uint8_t signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (file.size() < 8 || std::memcmp(file.data(), signature, 8) != 0) return false;
    enum { kBeforeData, kInData, kAfterData } stage = kBeforeData;
    bool sawHeader = false;
    size_t at = 8;
    for (;;) {
        if (file.size() - at < 12) return false;
        const uint32_t length = bigEndian(&file[at]);
        if (length > 0x7fffffffu || file.size() - at - 12 < length) return false;
        const uint8_t* type = &file[at + 4];
        const uint8_t* body = type + 4;
        // A chunk name is four ASCII letters; anything else is an error to cairo's reader.
        if (!std::all_of(type, type + 4, [](uint8_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }))
            return false;
        const bool critical = (type[0] & 0x20) == 0;
        // Damage in an ancillary chunk is only a warning to cairo's reader, so only the
        // critical ones are checked.
        if (critical && libdeflate_crc32(0, type, length + 4) != bigEndian(body + length)) return false;
        const auto is = [type](const char* name) { return std::memcmp(type, name, 4) == 0; };
        at += 12 + length;
        if (!sawHeader) {
            if (!is("IHDR") || length != 13) return false;
            header.width = bigEndian(body);
            header.height = bigEndian(body + 4);
            const uint8_t depth = body[8], colour = body[9];
            if (depth != 8 || (colour != 2 && colour != 6) || body[10] != 0 || body[11] != 0 || body[12] != 0)
                return false;
            if (header.width == 0 || header.height == 0) return false;
            header.channels = colour == 6 ? 4 : 3;
            sawHeader = true;
        } else if (is("IDAT")) {
            if (stage == kAfterData) return false;
            stage = kInData;
            data.insert(data.end(), body, body + length);
        } else {
            if (stage == kInData) stage = kAfterData;
            if (is("IEND")) return stage == kAfterData;
            // A colour key becomes alpha in cairo's reader; a late or empty palette is an error there.
            if (is("tRNS") || (is("PLTE") && (stage != kBeforeData || length == 0))) return false;
            if (critical && !is("PLTE")) return false;
        }
    }
}

// The most a byte of deflate data can inflate to.
constexpr size_t kMaxInflation = 1032;

// Rows are read and written a pixel at a time as four bytes, so every row buffer has this
// much room after its last pixel.
constexpr size_t kSlack = 4;

__m128i loadPixel(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), _mm_setzero_si128());
}

__m128i absolute(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

__m128i select(__m128i mask, __m128i ifSet, __m128i otherwise) {
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, otherwise));
}

// The Paeth filter, the costliest, on all bytes of a pixel at once (16-bit lanes): each byte
// adds whichever of left (a), up (b) and upper left (c) is nearest to a + b - c, ties going
// to a, then b.
template <int N>
void unpaeth(uint8_t* __restrict row, const uint8_t* __restrict prior, size_t n) {
    __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
    for (size_t i = 0; i < n; i += N) {
        const __m128i b = loadPixel(prior + i);
        const __m128i pa = _mm_sub_epi16(b, c), pb = _mm_sub_epi16(a, c);
        const __m128i da = absolute(pa), db = absolute(pb), dc = absolute(_mm_add_epi16(pa, pb));
        const __m128i nearest = _mm_min_epi16(da, _mm_min_epi16(db, dc));
        const __m128i predictor =
            select(_mm_cmpeq_epi16(da, nearest), a, select(_mm_cmpeq_epi16(db, nearest), b, c));
        a = _mm_and_si128(_mm_add_epi16(loadPixel(row + i), predictor), _mm_set1_epi16(0xff));
        const uint32_t pixel = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(a, a)));
        std::memcpy(row + i, &pixel, N);
        c = b;
    }
}

// Undoes the row's filter in place; prior is the row above, already unfiltered (zeros above
// the first). N is the bytes per pixel.
// Rows never overlap; saying so lets the compiler vectorise the Up filter, the most common.
template <int N>
bool unfilter(uint8_t filter, uint8_t* __restrict row, const uint8_t* __restrict prior, size_t n) {
    switch (filter) {
        case 0:
            return true;
        case 1:
            for (size_t i = N; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - N]);
            return true;
        case 2:
            for (size_t i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
            return true;
        case 3:
            for (size_t i = 0; i < N; ++i) row[i] = static_cast<uint8_t>(row[i] + (prior[i] >> 1));
            for (size_t i = N; i < n; ++i)
                row[i] = static_cast<uint8_t>(row[i] + ((row[i - N] + prior[i]) >> 1));
            return true;
        case 4:
            unpaeth<N>(row, prior, n);
            return true;
        default:
            return false;
    }
}

// cairo's rounding of a colour multiplied by alpha.
uint32_t premultiply(uint32_t alpha, uint32_t colour) {
    const uint32_t t = alpha * colour + 0x80;
    return (t + (t >> 8)) >> 8;
}

// One unfiltered row into native-endian pixels the way cairo's reader stores them: RGB as
// opaque RGB24, RGBA premultiplied, fully transparent pixels as zero.
template <int N>
void convert(const uint8_t* row, uint32_t* out, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x, row += N) {
        uint32_t v;  // r | g << 8 | b << 16 | a << 24 (for RGB, a is the next pixel's red)
        std::memcpy(&v, row, 4);
        const uint32_t a = N == 4 ? v >> 24 : 255;
        if (a == 255)
            out[x] = 0xff000000u | __builtin_bswap32(v) >> 8;
        else if (a == 0)
            out[x] = 0;
        else
            out[x] = a << 24 | premultiply(a, v & 0xff) << 16 | premultiply(a, (v >> 8) & 0xff) << 8 |
                     premultiply(a, (v >> 16) & 0xff);
    }
}

// The filtered rows lie at the end of the pixel buffer and are converted in place, so no
// second buffer of the image's size is touched: each row is copied out before its pixels are
// written, and since a row's pixels take at most one byte more than its filtered bytes, they
// never reach the rows below.
template <int N>
bool unfilterAndConvert(const uint8_t* raw, const Header& header, uint8_t* pixels) {
    const size_t rowBytes = size_t{header.width} * N;
    std::vector<uint8_t> rows(2 * (rowBytes + kSlack), 0);
    uint8_t* current = rows.data();
    uint8_t* prior = rows.data() + rowBytes + kSlack;  // zeros above the first row
    for (uint32_t y = 0; y < header.height; ++y) {
        const uint8_t* filtered = raw + size_t{y} * (rowBytes + 1);
        std::memcpy(current, filtered + 1, rowBytes);
        if (!unfilter<N>(filtered[0], current, prior, rowBytes)) return false;
        convert<N>(current, reinterpret_cast<uint32_t*>(pixels + size_t{y} * 4 * header.width), header.width);
        std::swap(current, prior);
    }
    return true;
}

cairo_user_data_key_t ownedPixels;

cairo_surface_t* decode(const std::string& path, bool& damaged) {
    std::vector<uint8_t> file, data;
    Header header;
    if (!readFile(path, file) || !parseChunks(file, header, data)) return nullptr;
    file = {};

    const cairo_format_t format = header.channels == 4 ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
    if (header.width > 32767 || header.height > 32767) return nullptr;  // beyond what cairo draws
    const int width = static_cast<int>(header.width), height = static_cast<int>(header.height);
    const int stride = cairo_format_stride_for_width(format, width);
    if (stride != 4 * width) return nullptr;

    const size_t pixelSize = size_t{header.height} * static_cast<size_t>(stride);
    const size_t rawSize = (size_t{header.width} * static_cast<size_t>(header.channels) + 1) * header.height;
    // Deflate codes at most 258 bytes in 2 bits: data that cannot inflate to the image is
    // refused before its pixels are reserved.
    if (rawSize / kMaxInflation > data.size()) {
        damaged = true;
        return nullptr;
    }
    const size_t bufferSize = std::max(pixelSize, rawSize);
    // Owned by the surface; not cleared first, as every pixel is written.
    auto* pixels = static_cast<uint8_t*>(std::malloc(bufferSize));
    if (pixels == nullptr) return nullptr;
    uint8_t* raw = pixels + (bufferSize - rawSize);
    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    size_t consumed = 0, produced = 0;
    const bool ok = inflater != nullptr &&
                    libdeflate_zlib_decompress_ex(inflater, data.data(), data.size(), raw, rawSize, &consumed,
                                                  &produced) == LIBDEFLATE_SUCCESS &&
                    produced == rawSize &&
                    (header.channels == 4 ? unfilterAndConvert<4>(raw, header, pixels)
                                          : unfilterAndConvert<3>(raw, header, pixels));
    libdeflate_free_decompressor(inflater);
    if (!ok) {
        std::free(pixels);
        damaged = inflater != nullptr;
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create_for_data(pixels, format, width, height, stride);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(surface, &ownedPixels, pixels, std::free) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        std::free(pixels);
        return nullptr;
    }
    return surface;
}

}  // namespace

namespace tarnwell::gui {

cairo_surface_t* decodePng(const std::string& path, bool* damaged) {
    bool found = false;
    cairo_surface_t* surface = nullptr;
    try {
        surface = decode(path, found);
    } catch (const std::bad_alloc&) {
    }
    if (damaged != nullptr) *damaged = found;
    return surface;
}

}  // namespace tarnwell::gui
