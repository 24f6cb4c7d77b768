// Writes the end-to-end benchmark corpus into a folder: resource files of one
// texture each, with full mip chains, zlib-compressed, half of them in plain
// files and half in signed containers, in groups by kind (BC1, BC3, BC5,
// 32-bit colour, 24-bit colour, grey, plane-coded colour, cube maps, high
// dynamic range):
//   - per kind, 12 large textures (nine 1024 x 1024, three 2048 x 2048);
//   - per kind, 96 smaller ones ("<kind>-small": 24 of 512 x 512, 72 of
//     256 x 256), where the work per file weighs more;
//   - a tree of 10,000 files of a few KB each (16 x 16 to 64 x 64, every
//     kind in turn) in 100 folders, group "tree", where it is nearly all
//     that counts.
// With --large it writes the large-texture corpus instead, where several
// jobs are timed against one: 77 files of one texture each, eight kinds in
// turn (BC1, BC3, BC5, 32-bit colour, grey, plane-coded colour, cube maps,
// high dynamic range; 9 or 10 files each), four in ten of 2048 x 2048 and
// the rest of 1024 x 1024 (cube faces always 1024), every fourth file in a
// signed container, in groups "large-<kind>". A file's buffers (stored,
// inflated and decoded bytes) are 6 to 37 MB.
// Pictures are mostly photo-like (smooth colour with fine noise, which
// run-length packing cannot shrink) and partly flat art (which it can).
//
// Beside the files it writes manifest.tsv, one line per file, for the floor
// program: the file, its group, its container, and for its zlib stream the
// inflated size and the file byte ranges that hold the stream (a signed
// container cuts it with signature records).
//
//     make_bench_corpus [--large] <folder>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "pixels/texture_flags.h"
#include "support/container_writer.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"

namespace {

using namespace lumenpull::test;
using Bytes = std::vector<uint8_t>;

using lumenpull::PlaneCoded;
using lumenpull::SixFaces;

// Smooth colour from a few waves, a soft alpha shape and fine noise.
RgbaImage photoLike(int32_t side, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double freq[3][2], phase[3][2];
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 2; ++k) {
            freq[c][k] = (1.0 + 6.0 * unit(random)) / side;
            phase[c][k] = 6.283 * unit(random);
        }
    }
    // The waves run along x and along y, so each is worked out once per column or row.
    std::vector<double> across[3], down[3];
    for (int c = 0; c < 3; ++c) {
        for (int32_t i = 0; i < side; ++i) {
            across[c].push_back(60 * std::sin(6.283 * freq[c][0] * i + phase[c][0]));
            down[c].push_back(50 * std::cos(6.283 * freq[c][1] * i + phase[c][1]));
        }
    }
    RgbaImage image(side, side);
    for (int32_t y = 0; y < side; ++y) {
        for (int32_t x = 0; x < side; ++x) {
            uint8_t* p = image.at(x, y);
            for (int c = 0; c < 3; ++c) {
                const double v = 128 + across[c][x] + down[c][y];
                p[c] = static_cast<uint8_t>(
                    std::clamp<int>(static_cast<int>(v) + static_cast<int>(random() % 13) - 6, 0, 255));
            }
            const double dx = x - side / 2.0, dy = y - side / 2.0;
            p[3] = static_cast<uint8_t>(
                std::clamp<int>(static_cast<int>(255 - 200 * (dx * dx + dy * dy) / (side * side / 2.0)) +
                                    static_cast<int>(random() % 5) - 2,
                                0, 255));
        }
    }
    return image;
}

RgbaImage flatArt(int32_t side, uint32_t seed) {
    switch (seed % 3) {
        case 0: return makeColourWheel(side, side);
        case 1: return makeCheckerboard(side, side, side / 16);
        default: return makeGradient(side, side);
    }
}

// Box-filtered half size (at least 1 x 1).
RgbaImage halve(const RgbaImage& image) {
    const int32_t w = std::max(image.width / 2, 1), h = std::max(image.height / 2, 1);
    RgbaImage out(w, h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                for (int k = 0; k < 4; ++k) {
                    sum += image.at(std::min(2 * x + k % 2, image.width - 1),
                                    std::min(2 * y + k / 2, image.height - 1))[c];
                }
                out.at(x, y)[c] = static_cast<uint8_t>(sum / 4);
            }
        }
    }
    return out;
}

// The picture padded (edge pixels repeated) to at least 4 x 4, for blocks.
RgbaImage atLeastFour(const RgbaImage& image) {
    if (image.width >= 4 && image.height >= 4) return image;
    RgbaImage out(std::max(image.width, 4), std::max(image.height, 4));
    for (int32_t y = 0; y < out.height; ++y) {
        for (int32_t x = 0; x < out.width; ++x) {
            const uint8_t* p = image.at(std::min(x, image.width - 1), std::min(y, image.height - 1));
            std::copy(p, p + 4, out.at(x, y));
        }
    }
    return out;
}

enum class Stored { Bc1, Bc3, Bc5, Bgra, Grey, Hdr, SharedHdr };

Bytes shared(const RgbaImage& image) {
    Bytes out;
    out.reserve(image.rgba.size());
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        const uint32_t word = (uint32_t{image.rgba[i]} * 2) | (uint32_t{image.rgba[i + 1]} * 2) << 9 |
                              (uint32_t{image.rgba[i + 2]} * 2) << 18 | (13u + image.rgba[i + 3] / 64u) << 27;
        out.insert(out.end(), {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                               static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)});
    }
    return out;
}

Bytes store(const RgbaImage& image, Stored s) {
    switch (s) {
        case Stored::Bc1: return encodeBc1(atLeastFour(image));
        case Stored::Bc3: return encodeBc3(atLeastFour(image));
        case Stored::Bc5: return encodeBc5(atLeastFour(image));
        case Stored::Grey: {
            Bytes grey = storeGrey(image, 4);
            for (size_t i = 0; i < grey.size(); i += 4) grey[i + 1] = grey[i + 2] = grey[i];
            return grey;
        }
        case Stored::Hdr: {
            // Exponent bytes around 128 (values near 1), brighter where alpha is high.
            Bytes bgra = storeBgra(image);
            for (size_t i = 3; i < bgra.size(); i += 4) bgra[i] = static_cast<uint8_t>(120 + bgra[i] / 16);
            return bgra;
        }
        case Stored::SharedHdr: return shared(image);
        case Stored::Bgra: break;
    }
    return storeBgra(image);
}

// One face: the largest level and every smaller one down to 1 x 1, each
// stored like the largest; with `largestLast` the smaller levels come first.
Bytes mipChain(RgbaImage image, Stored s, bool largestLast) {
    std::vector<Bytes> levels;
    levels.push_back(store(image, s));
    while (image.width > 1 || image.height > 1) {
        image = halve(image);
        levels.push_back(store(image, s));
    }
    if (largestLast) std::rotate(levels.begin(), levels.begin() + 1, levels.end());
    Bytes out;
    for (const Bytes& level : levels) out.insert(out.end(), level.begin(), level.end());
    return out;
}

Bytes deflate(const Bytes& raw) {
    uLongf length = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(length);
    if (compress2(out.data(), &length, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK) {
        std::fprintf(stderr, "compression failed\n");
        std::exit(1);
    }
    out.resize(length);
    return out;
}

struct Texture {
    std::string group;
    Stored stored;
    int32_t format;
    int32_t side;
    uint32_t flags = 0;
    int faces = 1;
    bool planes = false;
    bool trailing = false;  // pixels in a trailing block, largest image last (0x0100)
};

// The file byte ranges of payload bytes [at, at + length) in the container.
std::string fileRanges(ContainerKind kind, size_t at, size_t length) {
    std::string ranges;
    if (kind != ContainerKind::Signed) {
        return std::to_string(at) + "+" + std::to_string(length);
    }
    const SignedHeader header;
    const size_t start = signedHeaderBytes(header).size() + header.signatureSize;
    while (length > 0) {
        const size_t inBlock = header.blockSize - at % header.blockSize;
        const size_t piece = std::min(length, inBlock);
        const size_t raw =
            start + at / header.blockSize * (header.blockSize + header.signatureSize) + at % header.blockSize;
        if (!ranges.empty()) ranges += ",";
        ranges += std::to_string(raw) + "+" + std::to_string(piece);
        at += piece;
        length -= piece;
    }
    return ranges;
}

// How a texture looks and is wrapped.
struct Look {
    bool flat = false;  // flat art instead of a photo-like picture
    ContainerKind container = ContainerKind::Plain;
};

// The look of the corpus files: flat art one in three, plain and signed
// containers in turn.
Look lookOf(int look) { return {look % 3 == 2, look % 2 == 0 ? ContainerKind::Plain : ContainerKind::Signed}; }

// Writes texture `t` as the file `name` (relative to `folder`). `index`
// seeds its pictures.
void writeTexture(const std::filesystem::path& folder, const std::string& name, const Texture& t, int index,
                  const Look& look, std::ofstream& manifest) {
    const uint32_t seed = static_cast<uint32_t>(1000 + index);
    const bool flat = look.flat;
    Bytes raw;
    for (int face = 0; face < t.faces; ++face) {
        const RgbaImage picture = flat ? flatArt(t.side, seed + face) : photoLike(t.side, seed * 7 + face);
        const Bytes chain = mipChain(picture, t.stored, t.trailing);
        raw.insert(raw.end(), chain.begin(), chain.end());
    }
    if (t.planes) raw = encodePlanes(raw, t.format);
    const Bytes compressed = deflate(raw);

    ResourceBuilder file;
    file.addStandardTypes();
    TextureFields fields;
    fields.width = t.side;
    fields.height = t.side;
    fields.format = t.format;
    fields.flags = t.flags;
    if (t.trailing) {
        fields.trailing = TrailingPixels{0x0100, compressed, std::nullopt};
    } else {
        fields.pixels = compressed;
    }
    file.addTexture(TextureClass::Static, fields);
    const Bytes payload = file.payload();
    const auto where = std::search(payload.begin(), payload.end(), compressed.begin(), compressed.end());
    const size_t at = static_cast<size_t>(where - payload.begin());

    const ContainerKind kind = look.container;
    const Bytes bytes = wrapPayload(kind, payload);
    const std::filesystem::path path = folder / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    manifest << name << '\t' << t.group << '\t' << containerKindName(kind) << '\t' << raw.size() << '\t'
             << fileRanges(kind, at, compressed.size()) << '\n';
    std::printf("%s %d x %d, %zu bytes\n", name.c_str(), t.side, t.side, bytes.size());
}

std::string numberedName(const std::string& folder, const std::string& stem, int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", number);
    return folder + "/" + stem + "_" + digits + ".tex";
}

// The kind's texture at position k of its group: every other cube map in
// BC1; every other HDR texture in the shared-exponent encoding, which comes
// in a trailing block with its largest image last.
Texture variant(const Texture& kind, int k, int32_t side) {
    Texture t = kind;
    t.side = side;
    if (kind.group == "cube" && k % 2 == 1) {
        t.stored = Stored::Bc1;
        t.format = 9;
    }
    if (kind.group == "hdr" && k % 2 == 1) {
        t.stored = Stored::SharedHdr;
        t.trailing = true;
    }
    return t;
}

// The kinds of texture, one group each.
std::vector<Texture> corpusKinds() {
    return {
        {"bc1", Stored::Bc1, 9, 0},
        {"bc3", Stored::Bc3, 10, 0},
        {"bc5", Stored::Bc5, 15, 0},
        {"rgba32", Stored::Bgra, 3, 0},
        {"rgb24", Stored::Bgra, 2, 0},
        {"grey", Stored::Grey, 7, 0},
        {"planes", Stored::Bgra, 3, 0, PlaneCoded, 1, true},
        {"cube", Stored::Bgra, 3, 0, SixFaces, 6},
        {"hdr", Stored::Hdr, 12, 0},
    };
}

// The large-texture corpus: the kinds in turn, so that files of every kind
// and size follow each other (as a tree of game assets mixes them), and
// sizes, looks and containers in cycles of other lengths (each kind's
// signed files shifted, so that every kind has some).
void writeLargeCorpus(const std::filesystem::path& folder, std::ofstream& manifest) {
    std::vector<Texture> kinds = corpusKinds();
    // 24-bit output is the 32-bit one with a byte less per pixel.
    std::erase_if(kinds, [](const Texture& kind) { return kind.group == "rgb24"; });
    constexpr int kFiles = 77;
    std::vector<int> perKind(kinds.size());
    for (int k = 0; k < kFiles; ++k) {
        const size_t which = static_cast<size_t>(k) % kinds.size();
        const Texture& kind = kinds[which];
        const int round = perKind[which]++;
        // Six of ten at 1024 and four at 2048; cube faces always 1024.
        const bool large = round % 5 == 1 || round % 5 == 3;
        Texture t = variant(kind, round, large && kind.group != "cube" ? 2048 : 1024);
        t.group = "large-" + kind.group;
        const bool isSigned = (round + static_cast<int>(which)) % 4 == 3;
        const Look look{round % 3 == 2, isSigned ? ContainerKind::Signed : ContainerKind::Plain};
        writeTexture(folder, numberedName(t.group, kind.group, k), t, 50000 + k, look, manifest);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool largeCorpus = argc == 3 && std::string(argv[1]) == "--large";
    if (argc != 2 && !largeCorpus) {
        std::fprintf(stderr, "usage: make_bench_corpus [--large] <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[argc - 1];
    std::filesystem::create_directories(folder);
    std::ofstream manifest(folder / "manifest.tsv", std::ios::trunc);
    if (largeCorpus) {
        writeLargeCorpus(folder, manifest);
        return 0;
    }

    const std::vector<Texture> kinds = corpusKinds();
    int index = 0;
    for (const Texture& kind : kinds) {
        for (int k = 0; k < 12; ++k) {
            // Nine of 1024 x 1024 and three of 2048 x 2048; cube maps stay at 1024.
            const Texture t = variant(kind, k, k < 9 || kind.group == "cube" ? 1024 : 2048);
            writeTexture(folder, numberedName(kind.group, kind.group, index), t, index, lookOf(index), manifest);
            ++index;
        }
    }
    for (const Texture& kind : kinds) {
        const std::string group = kind.group + "-small";
        for (int k = 0; k < 96; ++k) {
            Texture t = variant(kind, k, k < 24 ? 512 : 256);
            t.group = group;
            writeTexture(folder, numberedName(group, group, index), t, index, lookOf(index), manifest);
            ++index;
        }
    }
    // The tree: the kinds in turn, and sides 16, 32 and 64 in a cycle of
    // another length, so that every kind comes in every size, flat and
    // photo-like, plain and signed.
    constexpr int kTreeFiles = 10000;
    constexpr int kTreeFolders = 100;
    const int32_t treeSides[] = {32, 64, 16, 32};
    for (int k = 0; k < kTreeFiles; ++k) {
        const Texture& kind = kinds[static_cast<size_t>(k) % kinds.size()];
        const int round = k / static_cast<int>(kinds.size());
        Texture t = variant(kind, round, treeSides[k % 4]);
        t.group = "tree";
        char name[64];
        std::snprintf(name, sizeof name, "tree/%02d/%s_%05d.tex", k % kTreeFolders, kind.group.c_str(), k);
        writeTexture(folder, name, t, index, lookOf(round), manifest);
        ++index;
    }
    return 0;
}
