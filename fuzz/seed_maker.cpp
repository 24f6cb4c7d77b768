// Writes the seed corpora of the fuzz targets from the test-side writers:
// fuzz_seeds <directory> makes <directory>/<target>/ for every target and
// fills it with a few well-formed inputs, so that fuzzing starts deep inside
// the formats instead of at their first tag.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "output/output_file.h"
#include "pixels/pixel_format.h"
#include "pixels/texture_flags.h"
#include "pixels/texture_image.h"
#include "support/container_writer.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "writers/dds_writer.h"
#include "writers/exr_writer.h"
#include "writers/png_writer.h"
#include "writers/radiance_writer.h"
#include "writers/tga_writer.h"

namespace lumenpull::fuzz {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

class SeedDir {
public:
    SeedDir(const fs::path& root, const std::string& target) : dir_(root / target) { fs::create_directories(dir_); }

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
        0x8A, 0,    0,    0,    0,     // tag (the actual one)
        0x8A, 0,    0,    0,    0,     // tag
        11,                            // counted string
        3,    5,                       // peek 5
        0,    7,                       // read 7
        5,    0xF0,                    // skip -16
        1,    40,   0,                 // read 40
        6,    30,   0,    0,    0,     // skip 30
        8,    3,    0,    0,    0,     // seek 3 from the start
        4,    200,  0,                 // peek 200
        9,    10,   0,    0,    0,     // seek 10 from the end
        2,    0xFF, 0xFF, 0xFF, 0xFF,  // read 4 GiB - 1
        0,    1,                       // read 1 after the failure
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
    for (uint8_t format : std::initializer_list<uint8_t>{2, 3, 4, 5, 6, 8}) {
        seeds.add("bgra" + std::to_string(format), imageInput({16, 8, format, false, 0, 1, 0, false}, bgra));
    }
    seeds.add("grey", imageInput({16, 8, 7, false, 0, 1, 0, false}, test::storeGrey(picture, 4)));
    seeds.add("twochannel", imageInput({16, 8, 2, false, TwoChannel, 1, 0, false}, bgra));
    seeds.add("bc1", imageInput({16, 8, 9, false, 0, 1, 0, false}, test::encodeBc1(picture)));
    seeds.add("bc3", imageInput({16, 8, 10, false, 0, 1, 0, false}, test::encodeBc3(picture)));
    seeds.add("bc3two", imageInput({16, 8, 10, false, TwoChannel, 1, 0, true}, test::encodeBc3(picture)));
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
    seeds.add("zlibprefix",
              imageInput({16, 8, 9, false, 0, 1, 0, false}, test::compressZlib(test::encodeBc1(picture), true)));
    seeds.add("planes3", imageInput({16, 8, 3, false, PlaneCoded, 1, 0, false}, test::encodePlanes(bgra, 3)));
    seeds.add("planes6",
              imageInput({8, 8, 6, false, PlaneCoded, 1, 0, false}, test::encodePlanes(test::storeBgra(checker), 6)));
    seeds.add("planesbc3", imageInput({16, 8, 10, false, PlaneCoded, 1, 0, false},
                                      test::encodePlanes(test::encodeBc3(picture), 10)));
    seeds.add("planeszlib", imageInput({16, 8, 9, false, PlaneCoded, 1, 0, false},
                                       test::compressZlib(test::encodePlanes(test::encodeBc1(picture), 9))));
    const Bytes checkerBgra = test::storeBgra(checker);
    for (uint16_t word : std::initializer_list<uint16_t>{0, 1}) {
        const Bytes chain =
            test::buildMipChain(checkerBgra, 1, test::smallerMipLevelsSize(8, 8, 32), word ? 0x0100 : 0);
        seeds.add("mips" + std::to_string(word),
                  imageInput({8, 8, 3, false, 0, 1, static_cast<uint8_t>(word), false}, chain));
    }
    Bytes faces;
    for (int f = 0; f < 6; ++f) faces.insert(faces.end(), checkerBgra.begin(), checkerBgra.end());
    seeds.add("faces", imageInput({8, 8, 5, false, SixFaces, 12, 0, false},
                                  test::buildMipChain(faces, 6, test::smallerMipLevelsSize(8, 8, 32), 0)));
    // Dimensions the data cannot fill: the writers clamp into it.
    seeds.add("short", imageInput({300, 3, 2, false, 0, 1, 0, false}, Bytes(bgra.begin(), bgra.begin() + 37)));
    seeds.add("wide", imageInput({65535, 1, 7, false, 0, 1, 0, false}, Bytes(64, 9)));
}

// --- resource_fuzz and convert_fuzz: whole resource files ------------------

using test::ResourceBuilder;
using test::TextureClass;
using test::TextureFields;

TextureFields smallTexture(int32_t format, const Bytes& pixels, uint32_t flags = 0) {
    TextureFields t;
    t.width = 8;
    t.height = 8;
    t.format = format;
    t.flags = flags;
    t.pixels = pixels;
    return t;
}

ResourceBuilder standardFile(uint32_t formatVersion = 11, const test::StandardTypeOptions& options = {}) {
    ResourceBuilder file(formatVersion);
    file.addStandardTypes(options);
    return file;
}

// Objects of every data-type class that bodies are measured by, each with a
// body of its stored size, beside a texture.
ResourceBuilder measuredBodies() {
    using namespace test::type_class;
    ResourceBuilder file = standardFile();
    const int32_t word = file.addType(test::sizedType("CWord", 4));
    const int32_t cstring = file.addType(test::simpleType("CString", 4));
    const int32_t ident = file.types().ident;
    const int32_t alias = file.addType(test::linkType("CWordAlias", Alias, word));
    const int32_t dyn6 = file.addType(test::linkType("CList6", DynamicArray6, word));
    const int32_t dyn7 = file.addType(test::linkType("CList7", DynamicArray7, cstring));
    const int32_t refs = file.addType(test::linkType("CRefs", ReferenceArray, word));
    const int32_t ref = file.addType(test::linkType("CRef", Reference3, word));
    const int32_t fixed = file.addType(test::fixedArrayType("CFixed", word, 3));
    const int32_t synced = file.addType(test::templateType("CSynced", "Synced", word));
    const int32_t link = file.addType(test::templateType("CLink", "ResourceLink"));
    const int32_t other = file.addType(test::templateType("COther", "Other", word));
    const int32_t trans = file.addType(test::structureType("CTransString", 1, -1, {{ident, "id"}}));
    const int32_t both =
        file.addType(test::structureType("CBoth", 1, trans, {{alias, "a"}, {dyn6, "b"}, {fixed, "c"}}));
    const auto words = [](std::initializer_list<int32_t> values) {
        test::ByteWriter out;
        out.words(values);
        return out.take();
    };
    file.addObject(word, words({7}));
    file.addObject(cstring, [] {
        test::ByteWriter o;
        o.i32(3).bytes(std::vector<uint8_t>{'a', 'b', 'c'});
        return o.take();
    }());
    file.addObject(alias, words({1}));
    file.addObject(dyn6, words({0, 2, 5, 6}));
    file.addObject(dyn7, [] {
        test::ByteWriter o;
        o.i32(0).i32(1).i32(2).bytes(std::vector<uint8_t>{'h', 'i'});
        return o.take();
    }());
    file.addObject(refs, words({0, 2, 1, 2}));
    file.addObject(ref, words({0}));
    file.addObject(fixed, words({1, 2, 3}));
    file.addObject(synced, words({4}));
    file.addObject(link, [] {
        test::ByteWriter o;
        o.i32(2).bytes(std::vector<uint8_t>{'x', 'y'});
        return o.take();
    }());
    file.addObject(other, words({9}));
    file.addObject(both, words({0, 0, 1, 0, 1, 5, 1, 2, 3}));
    file.addTexture(TextureClass::Static, smallTexture(3, Bytes(256, 0x40)));
    return file;
}

std::vector<std::pair<std::string, Bytes>> resourceFiles() {
    std::vector<std::pair<std::string, Bytes>> files;
    const auto picture = test::makeCheckerboard(8, 8, 2);
    const Bytes bgra = test::storeBgra(picture);
    {
        ResourceBuilder file = standardFile();
        file.addTexture(TextureClass::Static, smallTexture(3, bgra));
        files.emplace_back("static", file.payload());
    }
    {
        ResourceBuilder file = standardFile();
        file.addTexture(TextureClass::DynamicLightStatic, smallTexture(2, bgra, TwoChannel));
        TextureFields anim = smallTexture(5, Bytes());
        anim.frameCount = 2;
        anim.pixels.insert(anim.pixels.end(), bgra.begin(), bgra.end());
        anim.pixels.insert(anim.pixels.end(), bgra.begin(), bgra.end());
        anim.pixels = test::compressZlib(anim.pixels);
        file.addTexture(TextureClass::Anim, anim);
        file.addTexture(TextureClass::Color, smallTexture(9, test::encodeBc1(picture)), true);
        files.emplace_back("classes", file.payload());
    }
    {
        ResourceBuilder file = standardFile();
        TextureFields cube = smallTexture(3, Bytes(), SixFaces);
        Bytes faces;
        for (int f = 0; f < 6; ++f) faces.insert(faces.end(), bgra.begin(), bgra.end());
        cube.trailing = test::TrailingPixels{
            0x0100, test::buildMipChain(faces, 6, test::smallerMipLevelsSize(8, 8, 32), 0x0100), std::nullopt};
        file.addTexture(TextureClass::Static, cube);
        TextureFields hdr = smallTexture(12, Bytes());
        hdr.trailing = test::TrailingPixels{0, bgra, std::nullopt};
        file.addTexture(TextureClass::Static, hdr);
        file.addTexture(TextureClass::Static,
                        smallTexture(10, test::encodePlanes(test::encodeBc3(picture), 10), PlaneCoded));
        file.addTexture(TextureClass::Static, smallTexture(15, test::encodeBc5(picture)));
        file.addTexture(TextureClass::Static, smallTexture(7, test::storeGrey(picture, 4)));
        files.emplace_back("trailing", file.payload());
    }
    {
        test::StandardTypeOptions options;
        options.versions.baseTexture = 8;
        options.versions.staticTexture = 4;
        options.versions.resource = 6;
        ResourceBuilder file = standardFile(9, options);
        file.addTexture(TextureClass::Static, smallTexture(0, test::storeBgr(picture)));
        file.addTexture(TextureClass::Static, smallTexture(6, test::storeGrey(picture, 3)));
        files.emplace_back("legacy9", file.payload());
    }
    {
        test::StandardTypeOptions options;
        options.versions.baseTexture = 5;
        options.versions.staticTexture = 3;
        options.versions.resource = 4;
        ResourceBuilder file = standardFile(4, options);
        TextureFields t = smallTexture(1, bgra);
        t.wordArray = {1, 2, 3};
        file.addTexture(TextureClass::Static, t);
        files.emplace_back("legacy4", file.payload());
    }
    {
        test::StandardTypeOptions options;
        options.objectRoot = true;
        options.customData = true;
        options.versions.baseTexture = 26;
        options.versions.colorTexture = 2;
        ResourceBuilder file = standardFile(12, options);
        const int32_t ref = file.addReferencedFile("other.rsc", 7);
        const int32_t externalType = file.addExternalType("CExternalThing");
        file.addExternalObject(ref, externalType, 42);
        TextureFields t = smallTexture(3, bgra);
        t.mips = {{1, 2, 3}, {4, 5, 6}};
        file.addTexture(TextureClass::Color, t);
        file.addObject(externalType, {});
        files.emplace_back("external", file.payload());
    }
    files.emplace_back("measured", measuredBodies().payload());
    {
        ResourceBuilder file = standardFile();
        file.addObject(file.types().ident, Bytes{1, 0, 0, 0});
        files.emplace_back("notextures", file.payload());
    }
    return files;
}

void resourceSeeds(const fs::path& root) {
    SeedDir seeds(root, "resource_fuzz");
    for (const auto& [name, payload] : resourceFiles()) {
        for (uint8_t depth : std::initializer_list<uint8_t>{0, 1, 2}) {
            Bytes input{depth};
            input.insert(input.end(), payload.begin(), payload.end());
            seeds.add(name + "-depth" + std::to_string(depth), input);
        }
    }
}

void convertSeeds(const fs::path& root) {
    SeedDir seeds(root, "convert_fuzz");
    for (const auto& [name, payload] : resourceFiles()) {
        seeds.add(name, payload);
        seeds.add(name + "-work", test::wrapWorkStream(payload));
        test::SignedHeader header;
        header.blockSize = 61;
        header.signatureSize = 8;
        seeds.add(name + "-signed", test::wrapSigned(payload, header));
    }
}

// Texture, image and pixel choices, then the file.
void patchSeeds(const fs::path& root) {
    SeedDir seeds(root, "patch_fuzz");
    uint8_t choice = 0;
    for (const auto& [name, payload] : resourceFiles()) {
        const Bytes front = {choice, static_cast<uint8_t>(choice / 3), 0x5A, choice};
        ++choice;
        const auto withFront = [&](Bytes file) {
            file.insert(file.begin(), front.begin(), front.end());
            return file;
        };
        seeds.add(name, withFront(payload));
        test::SignedHeader header;
        header.blockSize = 61;
        header.signatureSize = 8;
        seeds.add(name + "-signed", withFront(test::wrapSigned(payload, header)));
    }
}

// --- pictures_fuzz: the type's number (tga png dds hdr exr), the file ----

void pictureSeeds(const fs::path& root) {
    SeedDir seeds(root, "pictures_fuzz");
    struct Kind {
        const char* name;
        PixelFormat format;
        uint8_t bitsPerPixel;
        uint32_t flags;
        int32_t images;
    };
    // Every row kind and block format the readers take back, a cube, and
    // high dynamic range; 8 x 8 pixels with runs and noise.
    const Kind kinds[] = {
        {"bgra", PixelFormat::Rgba8, 32, 0, 1},
        {"bgr", PixelFormat::Rgb8, 24, 0, 1},
        {"grey", PixelFormat::Grey8, 32, 0, 1},
        {"bc1", PixelFormat::Bc1, 4, 0, 1},
        {"bc3", PixelFormat::Bc3, 8, 0, 1},
        {"bc5", PixelFormat::Bc5, 8, 0, 1},
        {"cube", PixelFormat::Rgba8, 32, SixFaces, 6},
        {"hdr", PixelFormat::Hdr32, 32, 0, 1},
    };
    for (const Kind& kind : kinds) {
        Bytes data(size_t{8} * 8 * kind.bitsPerPixel / 8 * static_cast<size_t>(kind.images));
        for (size_t i = 0; i < data.size(); ++i) data[i] = (i / 16) % 2 ? static_cast<uint8_t>(i * 37 + 11) : 9;
        const TextureImage texture{8, 8, kind.flags, kind.format, kind.images, data};
        const bool hdr = kind.format == PixelFormat::Hdr32;
        for (uint8_t type = 0; type < 5; ++type) {
            ImageOutput output("", ImageOutput::Placing::InMemory);
            switch (type) {
                case 0:
                    if (!hdr) writeTga("p", texture, kind.bitsPerPixel, false, output);
                    break;
                case 1:
                    if (!hdr) writePng("p", texture, kind.bitsPerPixel, output);
                    break;
                case 2: writeDds("p", texture, kind.bitsPerPixel, false, 1, output); break;
                case 3:
                    if (hdr) writeRadiance("p", texture, false, false, output);
                    break;
                case 4:
                    if (hdr) writeExr("p", texture, false, output);
                    break;
            }
            for (const MemoryFile& file : output.memoryFiles()) {
                Bytes input{type};
                input.insert(input.end(), file.bytes.begin(), file.bytes.end());
                seeds.add(std::string(kind.name) + "-" + fs::path(file.name).filename().string(), input);
            }
        }
    }
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
    lumenpull::fuzz::resourceSeeds(root);
    lumenpull::fuzz::convertSeeds(root);
    lumenpull::fuzz::patchSeeds(root);
    lumenpull::fuzz::pictureSeeds(root);
    return 0;
}
