// Writes the seed corpora of the fuzz targets from the test-side writers:
// fuzz_seeds <directory> makes <directory>/<target>/ for every target and
// fills it with a few well-formed inputs, so that fuzzing starts deep inside
// the formats instead of at their first tag.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/container_writer.h"
#include "support/pixel_data_writer.h"

namespace lumenpull::fuzz {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

class SeedDir {
public:
    SeedDir(const fs::path& root, const std::string& target) : dir_(root / target) {
        fs::create_directories(dir_);
    }

    void add(const std::string& name, const Bytes& bytes) {
        std::ofstream out(dir_ / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ++count_;
    }

    ~SeedDir() { std::printf("%s: %d seeds\n", dir_.string().c_str(), count_); }

private:
    fs::path dir_;
    int count_ = 0;
};

void put32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// --- stream_fuzz: one byte n, n bytes of script, the file -----------------

Bytes streamInput(const Bytes& script, const Bytes& file) {
    Bytes out;
    out.push_back(static_cast<uint8_t>(script.size()));
    out.insert(out.end(), script.begin(), script.end());
    out.insert(out.end(), file.begin(), file.end());
    return out;
}

// A payload that reads as tags, counted strings and words.
Bytes streamPayload(size_t size) {
    Bytes payload;
    for (const char* tag : {"QRVX", "META"}) payload.insert(payload.end(), tag, tag + 4);
    put32(payload, 5);
    payload.insert(payload.end(), {'h', 'e', 'l', 'l', 'o'});
    while (payload.size() < size) payload.push_back(static_cast<uint8_t>(payload.size() * 7));
    payload.resize(size);
    return payload;
}

void streamSeeds(const fs::path& root) {
    SeedDir seeds(root, "stream_fuzz");
    // Script: expect both tags, read a string, then reads, peeks and moves.
    const Bytes script = {
        0x8A, 0, 0, 0, 0,  // tag (the actual one)
        0x8A, 0, 0, 0, 0,  // tag
        11,                // counted string
        3, 5,              // peek 5
        0, 7,              // read 7
        5, 0xF0,           // skip -16
        1, 40, 0,          // read 40
        6, 30, 0, 0, 0,    // skip 30
        8, 3, 0, 0, 0,     // seek 3 from the start
        4, 200, 0,         // peek 200
        9, 10, 0, 0, 0,    // seek 10 from the end
        2, 0xFF, 0xFF, 0xFF, 0xFF,  // read 4 GiB - 1
        0, 1,              // read 1 after the failure
    };
    const Bytes payload = streamPayload(300);
    seeds.add("plain", streamInput(script, payload));
    seeds.add("work", streamInput(script, test::wrapWorkStream(payload)));
    int n = 0;
    for (uint32_t blockSize : {1u, 3u, 16u, 64u, 299u, 300u, 65536u}) {
        for (uint32_t signatureSize : {0u, 4u, 256u}) {
            test::SignedHeader header;
            header.blockSize = blockSize;
            header.signatureSize = signatureSize;
            header.headerText = n % 2 ? "text" : "";
            header.signKey = n % 3 == 0 ? "Other" : "Signkey.EditorSignature";
            seeds.add("signed" + std::to_string(n++), streamInput(script, test::wrapSigned(payload, header)));
        }
    }
    seeds.add("short", streamInput({0, 1, 0, 4}, {'S', 'I', 'G', 'S', 'T', 'R'}));
}

// --- image_fuzz: header, then pixel data ----------------------------------

struct ImageSeed {
    uint16_t width, height;
    uint8_t storedCode;
    bool legacy;
    uint32_t flags;
    uint8_t imageCountCode;  // see imageCountFrom
    uint8_t layout;          // 0: layout word 0, 1: 0x0100
    bool noCompression;
};

Bytes imageInput(const ImageSeed& s, const Bytes& pixels) {
    Bytes out;
    out.push_back(static_cast<uint8_t>(s.width));
    out.push_back(static_cast<uint8_t>(s.width >> 8));
    out.push_back(static_cast<uint8_t>(s.height));
    out.push_back(static_cast<uint8_t>(s.height >> 8));
    out.push_back(static_cast<uint8_t>((s.legacy ? 0 : 8) | (s.noCompression ? 16 : 0)));
    out.push_back(s.storedCode);
    put32(out, s.flags);
    out.push_back(s.imageCountCode);
    out.push_back(s.layout);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

void imageSeeds(const fs::path& root) {
    SeedDir seeds(root, "image_fuzz");
    const auto picture = test::makeColourWheel(16, 8);
    const auto checker = test::makeCheckerboard(8, 8, 2);
    const Bytes bgra = test::storeBgra(picture);
    const Bytes bgr = test::storeBgr(picture);
    // Current numbering: the stored code is the canonical format.
    for (uint8_t format : {2, 3, 4, 5, 6, 8}) {
        seeds.add("bgra" + std::to_string(format), imageInput({16, 8, format, false, 0, 1, 0, false}, bgra));
    }
    seeds.add("grey", imageInput({16, 8, 7, false, 0, 1, 0, false}, test::storeGrey(picture, 4)));
    seeds.add("twochannel", imageInput({16, 8, 2, false, 0x80, 1, 0, false}, bgra));
    seeds.add("bc1", imageInput({16, 8, 9, false, 0, 1, 0, false}, test::encodeBc1(picture)));
    seeds.add("bc3", imageInput({16, 8, 10, false, 0, 1, 0, false}, test::encodeBc3(picture)));
    seeds.add("bc3two", imageInput({16, 8, 10, false, 0x80, 1, 0, true}, test::encodeBc3(picture)));
    seeds.add("bc5", imageInput({16, 8, 15, false, 0, 1, 0, false}, test::encodeBc5(picture)));
    seeds.add("hdr", imageInput({16, 8, 12, false, 0, 1, 0, false}, bgra));
    seeds.add("hdrshared", imageInput({16, 8, 12, false, 0, 1, 1, false}, bgra));
    seeds.add("uncompressed", imageInput({16, 8, 3, false, 0, 1, 0, true}, bgra));
    // Legacy numbering: 24-bit colour and grey, the undecoded block format.
    seeds.add("legacy0", imageInput({16, 8, 0, true, 0, 1, 0, false}, bgr));
    seeds.add("legacy6", imageInput({16, 8, 6, true, 0, 1, 0, false}, test::storeGrey(picture, 3)));
    seeds.add("legacy8", imageInput({16, 8, 8, true, 0, 1, 0, false}, test::encodeBc3(picture)));
    // Packed data: zlib (with and without a size prefix), planes, mip chains, faces.
    seeds.add("zlib", imageInput({16, 8, 3, false, 0, 1, 0, false}, test::compressZlib(bgra)));
    seeds.add("zlibprefix", imageInput({16, 8, 9, false, 0, 1, 0, false}, test::compressZlib(test::encodeBc1(picture), true)));
    seeds.add("planes3", imageInput({16, 8, 3, false, 0x200, 1, 0, false}, test::encodePlanes(bgra, 3)));
    seeds.add("planes6", imageInput({8, 8, 6, false, 0x200, 1, 0, false}, test::encodePlanes(test::storeBgra(checker), 6)));
    seeds.add("planesbc3", imageInput({16, 8, 10, false, 0x200, 1, 0, false}, test::encodePlanes(test::encodeBc3(picture), 10)));
    seeds.add("planeszlib", imageInput({16, 8, 9, false, 0x200, 1, 0, false},
                                       test::compressZlib(test::encodePlanes(test::encodeBc1(picture), 9))));
    const Bytes checkerBgra = test::storeBgra(checker);
    for (uint16_t word : {0, 1}) {
        const Bytes chain = test::buildMipChain(checkerBgra, 1, test::smallerMipLevelsSize(8, 8, 32),
                                                word ? 0x0100 : 0);
        seeds.add("mips" + std::to_string(word), imageInput({8, 8, 3, false, 0, 1, static_cast<uint8_t>(word), false}, chain));
    }
    Bytes faces;
    for (int f = 0; f < 6; ++f) faces.insert(faces.end(), checkerBgra.begin(), checkerBgra.end());
    seeds.add("faces", imageInput({8, 8, 5, false, 0x2, 12, 0, false},
                                  test::buildMipChain(faces, 6, test::smallerMipLevelsSize(8, 8, 32), 0)));
    // Dimensions the data cannot fill: the writers clamp into it.
    seeds.add("short", imageInput({300, 3, 2, false, 0, 1, 0, false}, Bytes(bgra.begin(), bgra.begin() + 37)));
    seeds.add("wide", imageInput({65535, 1, 7, false, 0, 1, 0, false}, Bytes(64, 9)));
}

}  // namespace
}  // namespace lumenpull::fuzz

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <directory>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    lumenpull::fuzz::streamSeeds(root);
    lumenpull::fuzz::imageSeeds(root);
    return 0;
}
