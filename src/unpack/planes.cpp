#include "unpack/planes.h"

#include <algorithm>
#include <cstdint>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumenpull {
namespace {

// One plane of the source: `length` bytes from `offset`, of which those past
// the end of the source read as 0.
class Plane {
public:
    Plane(std::span<const uint8_t> source, size_t offset, size_t length) {
        if (offset < source.size()) {
            bytes_ = source.subspan(offset, std::min(length, source.size() - offset));
        }
    }

    uint8_t byte(size_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
    uint16_t word16(size_t i) const { return static_cast<uint16_t>(byte(2 * i) | byte(2 * i + 1) << 8); }

    // Copies `count` bytes from `offset`, zero-filling what the source lacks.
    void copy(size_t offset, size_t count, uint8_t* out) const {
        for (size_t k = 0; k < count; ++k) {
            out[k] = byte(offset + k);
        }
    }

private:
    std::span<const uint8_t> bytes_;
};

// The running sums carried from one element to the next.
struct RunningSums {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;
    uint16_t endpoint0 = 0;
    uint16_t endpoint1 = 0;
};

// Colour, grey and alpha-only pixels: four running byte sums, written as
// blue, green, red, alpha. Plane k holds the deltas of pixel i at k * n + i.
template <PlaneKind Kind, bool Alpha>
struct PixelPlanes {
    // The planes this kind reads: red, green, blue (alpha); grey (alpha); alpha.
    static constexpr size_t Read = Kind == PlaneKind::Colour ? (Alpha ? 4 : 3)
                                   : Kind == PlaneKind::Grey ? (Alpha ? 2 : 1)
                                                             : 1;

    // Adds the deltas d[0 .. Read - 1] of one pixel, or of a stretch of
    // pixels (the sums of their deltas).
    static void add(RunningSums& s, const uint32_t* d) {
        if constexpr (Kind == PlaneKind::Colour) {
            s.red = static_cast<uint8_t>(s.red + d[0]);
            s.green = static_cast<uint8_t>(s.green + d[1]);
            s.blue = static_cast<uint8_t>(s.blue + d[2]);
            if constexpr (Alpha) s.alpha = static_cast<uint8_t>(s.alpha + d[3]);
        } else if constexpr (Kind == PlaneKind::Grey) {
            s.red = static_cast<uint8_t>(s.red + d[0]);
            s.green = s.red;
            s.blue = s.red;
            if constexpr (Alpha) s.alpha = static_cast<uint8_t>(s.alpha + d[1]);
        } else {
            s.alpha = static_cast<uint8_t>(s.alpha + d[0]);
        }
    }

    static void store(const RunningSums& s, uint8_t* out) {
        out[0] = s.blue;
        out[1] = s.green;
        out[2] = s.red;
        out[3] = s.alpha;
    }

#if defined(__SSE2__)
    // The running sum of plane k of this kind.
    static uint8_t& sumOfPlane(RunningSums& s, size_t k) {
        if constexpr (Kind == PlaneKind::Colour) return k == 0 ? s.red : k == 1 ? s.green : k == 2 ? s.blue : s.alpha;
        if constexpr (Kind == PlaneKind::Grey) return k == 0 ? s.red : s.alpha;
        return s.alpha;
    }

    // Sixteen pixels from plane bytes at p[k * n]: each plane's deltas
    // summed across the vector in four shifted adds, on top of the running
    // sum, then interleaved into blue, green, red, alpha.
    static void decode16(const uint8_t* p, size_t n, RunningSums& s, uint8_t* out) {
        __m128i sums[Read]{};  // every entry is set below; GCC under -fsanitize=thread cannot tell
        for (size_t k = 0; k < Read; ++k) {
            __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k * n));
            x = _mm_add_epi8(x, _mm_slli_si128(x, 1));
            x = _mm_add_epi8(x, _mm_slli_si128(x, 2));
            x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
            x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
            sums[k] = _mm_add_epi8(x, _mm_set1_epi8(static_cast<char>(sumOfPlane(s, k))));
            sumOfPlane(s, k) = static_cast<uint8_t>(_mm_extract_epi16(sums[k], 7) >> 8);
        }
        const auto constant = [](uint8_t v) { return _mm_set1_epi8(static_cast<char>(v)); };
        __m128i red, green, blue, alpha;
        if constexpr (Kind == PlaneKind::Colour) {
            red = sums[0];
            green = sums[1];
            blue = sums[2];
            if constexpr (Alpha)
                alpha = sums[3];
            else
                alpha = constant(s.alpha);
        } else if constexpr (Kind == PlaneKind::Grey) {
            red = green = blue = sums[0];
            s.green = s.blue = s.red;
            if constexpr (Alpha)
                alpha = sums[1];
            else
                alpha = constant(s.alpha);
        } else {
            red = constant(s.red);
            green = constant(s.green);
            blue = constant(s.blue);
            alpha = sums[0];
        }
        const __m128i blueGreenLow = _mm_unpacklo_epi8(blue, green);
        const __m128i blueGreenHigh = _mm_unpackhi_epi8(blue, green);
        const __m128i redAlphaLow = _mm_unpacklo_epi8(red, alpha);
        const __m128i redAlphaHigh = _mm_unpackhi_epi8(red, alpha);
        auto* o = reinterpret_cast<__m128i*>(out);
        _mm_storeu_si128(o, _mm_unpacklo_epi16(blueGreenLow, redAlphaLow));
        _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(blueGreenLow, redAlphaLow));
        _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(blueGreenHigh, redAlphaHigh));
        _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(blueGreenHigh, redAlphaHigh));
    }
#endif

    // Pixels [from, from + count) of n into out (or, with no out, only
    // through the sums).
    static void decode(std::span<const uint8_t> source, size_t n, size_t from, size_t count, RunningSums& s,
                       uint8_t* out) {
        uint32_t d[Read];
        // While the last plane read still has its byte, every plane has it:
        // read straight from the source. The rest reads missing bytes as 0.
        const size_t lastPlane = (Read - 1) * n;
        const size_t whole = source.size() > lastPlane ? std::min(n, source.size() - lastPlane) : 0;
        const size_t end = from + count;
        size_t i = from;
        if (out == nullptr) {
            // Skipping: only the sums of the deltas matter.
            const size_t direct = std::max(std::min(end, whole), i);
            for (size_t k = 0; k < Read; ++k) {
                const uint8_t* plane = source.data() + k * n;
                d[k] = 0;
                for (size_t j = i; j < direct; ++j) d[k] += plane[j];
            }
            add(s, d);
            for (i = direct; i < end; ++i) {
                for (size_t k = 0; k < Read; ++k) d[k] = Plane(source, k * n, n).byte(i);
                add(s, d);
            }
            return;
        }
        const uint8_t* p = source.data();
#if defined(__SSE2__)
        for (; i + 16 <= std::min(end, whole); i += 16, out += 64) decode16(p + i, n, s, out);
#endif
        for (; i < std::min(end, whole); ++i, out += 4) {
            for (size_t k = 0; k < Read; ++k) d[k] = p[k * n + i];
            add(s, d);
            store(s, out);
        }
        for (; i < end; ++i, out += 4) {
            for (size_t k = 0; k < Read; ++k) d[k] = Plane(source, k * n, n).byte(i);
            add(s, d);
            store(s, out);
        }
    }
};

// Blocks: running sums of the two colour endpoints; the index words and the
// alpha halves are stored as they are.
void decodeBlocks(std::span<const uint8_t> source, bool alpha, size_t n, size_t from, size_t count, RunningSums& s,
                  uint8_t* out) {
    const Plane first(source, 0, 2 * n);
    const Plane second(source, 2 * n, 2 * n);
    const Plane indices(source, 4 * n, 4 * n);
    const Plane alphaHalves(source, 8 * n, 8 * n);
    for (size_t i = from; i < from + count; ++i) {
        s.endpoint0 = static_cast<uint16_t>(s.endpoint0 + first.word16(i));
        s.endpoint1 = static_cast<uint16_t>(s.endpoint1 + second.word16(i));
        if (out == nullptr) continue;
        if (alpha) {
            alphaHalves.copy(8 * i, 8, out);
            out += 8;
        }
        out[0] = static_cast<uint8_t>(s.endpoint0);
        out[1] = static_cast<uint8_t>(s.endpoint0 >> 8);
        out[2] = static_cast<uint8_t>(s.endpoint1);
        out[3] = static_cast<uint8_t>(s.endpoint1 >> 8);
        indices.copy(4 * i, 4, out + 4);
        out += 8;
    }
}

// The elements of plane-coded data in order, a stretch at a time; a
// stretch may be skipped, which only carries the sums on.
class PlaneDecoder {
public:
    PlaneDecoder(std::span<const uint8_t> source, const PlaneLayout& layout) : source_(source), layout_(layout) {
        sums_.alpha = layout.alpha && layout.kind != PlaneKind::Block ? 255 : 0;
    }

    // The next `count` elements into out, or past them when out is null.
    void decode(size_t count, uint8_t* out) {
        const size_t n = layout_.elements;
        switch (layout_.kind) {
            case PlaneKind::Colour:
                layout_.alpha ? PixelPlanes<PlaneKind::Colour, true>::decode(source_, n, next_, count, sums_, out)
                              : PixelPlanes<PlaneKind::Colour, false>::decode(source_, n, next_, count, sums_, out);
                break;
            case PlaneKind::Grey:
                layout_.alpha ? PixelPlanes<PlaneKind::Grey, true>::decode(source_, n, next_, count, sums_, out)
                              : PixelPlanes<PlaneKind::Grey, false>::decode(source_, n, next_, count, sums_, out);
                break;
            case PlaneKind::AlphaOnly:
                layout_.alpha ? PixelPlanes<PlaneKind::AlphaOnly, true>::decode(source_, n, next_, count, sums_, out)
                              : PixelPlanes<PlaneKind::AlphaOnly, false>::decode(source_, n, next_, count, sums_, out);
                break;
            case PlaneKind::Block: decodeBlocks(source_, layout_.alpha, n, next_, count, sums_, out); break;
        }
        next_ += count;
    }

private:
    std::span<const uint8_t> source_;
    PlaneLayout layout_;
    RunningSums sums_;
    size_t next_ = 0;
};

}  // namespace

size_t elementSizeOf(const PlaneLayout& layout) {
    if (layout.kind != PlaneKind::Block) {
        return 4;
    }
    return layout.alpha ? 16 : 8;
}

namespace {

// count × factor bytes, refused like an allocation of that size when size_t
// cannot count them (a gigabyte of one-byte planes where it has 32 bits):
// a wrapped size would make a short buffer.
size_t scaledSize(size_t count, size_t factor) {
    if (count > SIZE_MAX / factor) throw std::bad_alloc();
    return count * factor;
}

}  // namespace

PlaneLayout planeLayoutFor(PixelFormat pixelFormat, size_t sourceLength) {
    const size_t length = sourceLength;
    PlaneLayout layout;
    switch (pixelFormat) {
        case PixelFormat::Rgb8:
        case PixelFormat::Rgb8B: layout = {PlaneKind::Colour, false, scaledSize(length / 3, 4), 0}; break;
        case PixelFormat::Rgba8:
        case PixelFormat::Rgba8B:
        case PixelFormat::Hdr32: layout = {PlaneKind::Colour, true, length, 0}; break;
        case PixelFormat::Rgba8C: layout = {PlaneKind::Grey, true, scaledSize(length, 2), 0}; break;
        case PixelFormat::Grey8: layout = {PlaneKind::Grey, false, scaledSize(length, 4), 0}; break;
        case PixelFormat::Rgba8D: layout = {PlaneKind::AlphaOnly, true, scaledSize(length, 4), 0}; break;
        case PixelFormat::Bc1: layout = {PlaneKind::Block, false, length, 0}; break;
        case PixelFormat::Bc3:
        case PixelFormat::Bc5: layout = {PlaneKind::Block, true, length, 0}; break;
        case PixelFormat::Block8:
        default:  // and any value outside the canonical set: colour planes without alpha
            layout = {PlaneKind::Colour, false, length, 0};
            break;
    }
    layout.elements = layout.decodedSize / elementSizeOf(layout);
    return layout;
}

size_t decodePlaneElements(std::span<const uint8_t> source, const PlaneLayout& layout, std::span<uint8_t> destination) {
    // Never write past the destination, whatever the layout claims.
    PlaneLayout fitted = layout;
    fitted.elements = std::min(layout.elements, destination.size() / elementSizeOf(layout));
    PlaneDecoder(source, fitted).decode(fitted.elements, destination.data());
    return fitted.elements * elementSizeOf(layout);
}

size_t decodePlaneStretches(std::span<const uint8_t> source, const PlaneLayout& layout, const Stretches& stretches,
                            std::span<uint8_t> destination) {
    const size_t size = elementSizeOf(layout);
    PlaneDecoder decoder(source, layout);
    size_t next = 0;
    size_t written = 0;
    for (uint64_t k = 0; k < stretches.count; ++k) {
        const uint64_t begin = stretches.first + k * stretches.stride;
        const uint64_t end = std::min<uint64_t>(begin + stretches.length, layout.elements);
        if (begin >= end || written + (end - begin) * size > destination.size()) break;
        decoder.decode(static_cast<size_t>(begin - next), nullptr);
        decoder.decode(static_cast<size_t>(end - begin), destination.data() + written);
        written += static_cast<size_t>(end - begin) * size;
        next = static_cast<size_t>(end);
    }
    return written;
}

}  // namespace lumenpull
