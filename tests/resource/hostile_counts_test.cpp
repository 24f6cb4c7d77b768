#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "resource_fixture.h"
#include "stream/tag.h"

// Every allocation of this test program goes through here, so a test can see
// the largest single request a read made. A reader that sized a table or a
// buffer by a count from the file would show up as one huge request.
namespace {
std::atomic<size_t> largestRequest{0};

void* allocate(size_t size) {
    size_t seen = largestRequest.load(std::memory_order_relaxed);
    while (size > seen && !largestRequest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }

namespace lumenpull {
namespace {

using namespace test;

constexpr int32_t kBillion = 1000000000;
constexpr size_t kOneMiB = size_t{1} << 20;

struct HostileCase {
    const char* name;
    std::function<void(ResourceBuilder&)> change;  // on a file with one static texture
    std::string message;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

// The tracking above must see the program's allocations for the checks below
// to mean anything.
TEST(AllocationTracking, SeesLargeRequests) {
    largestRequest = 0;
    std::vector<uint8_t> block(2 * kOneMiB);
    EXPECT_GE(largestRequest.load(), block.size());
}

class HostileCounts : public ::testing::TestWithParam<HostileCase> {};

// Tiny files claiming huge counts end with the message that reading their
// entries one by one gives (the next chunk's tag read as an entry, or the end
// of the file), and no single allocation comes anywhere near the count.
TEST_P(HostileCounts, FailFastWithoutAllocatingForTheCount) {
    ResourceBuilder builder;
    builder.addStandardTypes();
    GetParam().change(builder);
    const std::vector<uint8_t> payload = builder.payload();
    ASSERT_LT(payload.size(), 4096u);
    OpenedPayload opened(payload);
    largestRequest = 0;
    const std::string message = errorOf([&] {
        opened.file.ReadMetaData(opened.stream, ReadDepth::Full);
        walkObjects(opened.file, opened.stream);
    });
    EXPECT_EQ(message, GetParam().message);
    EXPECT_LT(largestRequest.load(), kOneMiB);
}

TextureFields withPixels() {
    TextureFields desc;
    desc.pixels = {1, 2, 3};
    return desc;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileCounts,
    ::testing::Values(HostileCase{"BillionIdentsWithOneEntry",
                                  [](ResourceBuilder& b) {
                                      b.meta.identCount = kBillion;
                                      b.meta.idntCount = kBillion;
                                  },
                                  "Invalid IDENT index " + std::to_string(MakeTag("EXTY"))},
                      HostileCase{"BillionReferencedFiles",
                                  [](ResourceBuilder& b) {
                                      b.addReferencedFile("a.rsc");
                                      b.meta.fileCount = kBillion;
                                      b.meta.rfilCount = kBillion;
                                  },
                                  "Invalid referenced file index " + std::to_string(MakeTag("IDNT"))},
                      HostileCase{"BillionTypesAndObjectsSparselyUsed",
                                  [](ResourceBuilder& b) {
                                      TypeEntry far = simpleType("Far", 4);
                                      far.index = kBillion - 1;
                                      b.addType(far);
                                      const int32_t file = b.addReferencedFile("a.rsc");
                                      b.meta.externalObjects.push_back({kBillion - 1, file, 0, far.index, 0});
                                      b.meta.objectCount = kBillion;
                                      b.addStaticTexture(1, 1, 0, 5, {1});
                                      b.addObject(far.index, {1, 2, 3, 4});
                                  },
                                  ""},
                      HostileCase{"BillionInternalTypes", [](ResourceBuilder& b) { b.meta.intyCount = kBillion; },
                                  "Expected '" + std::to_string(MakeTag("DTTY")) + "' but found '" +
                                      std::to_string(MakeTag("EXOB")) + "'"},
                      HostileCase{"BillionObjectRecords",
                                  [](ResourceBuilder& b) {
                                      b.meta.objectCount = kBillion;
                                      b.chunks.counts[0] = kBillion;
                                      b.chunks.types.push_back({0, b.types().staticTexture, {}});
                                  },
                                  "Invalid object index " + std::to_string(MakeTag("EDTY"))},
                      HostileCase{"MemberCountAtTheLimit",
                                  [](ResourceBuilder& b) {
                                      TypeEntry type = structureType("Many");
                                      type.storedMemberCount = 268435455;
                                      b.addType(type);
                                  },
                                  "Error reading"},
                      HostileCase{"PixelByteCount",
                                  [](ResourceBuilder& b) {
                                      TextureFields desc = withPixels();
                                      desc.pixelCount = 2000000000;
                                      b.addTexture(TextureClass::Static, desc);
                                  },
                                  "Error reading"},
                      HostileCase{"MipCount",
                                  [](ResourceBuilder& b) {
                                      TextureFields desc = withPixels();
                                      desc.mipCount = kBillion;
                                      b.addTexture(TextureClass::Static, desc);
                                  },
                                  "Error reading"},
                      HostileCase{"WordArrayCount",
                                  [](ResourceBuilder& b) {
                                      TypeVersions versions;
                                      versions.baseTexture = 5;
                                      TextureFields desc = withPixels();
                                      desc.wordCount = kBillion;
                                      b.addObject(b.types().staticTexture,
                                                  textureBody(TextureClass::Static, versions, desc));
                                      for (TypeEntry& type : b.meta.types) {
                                          if (type.name == "CBaseTexture") type.version = 5;
                                      }
                                  },
                                  "Error reading"},
                      HostileCase{"RawBodySize",
                                  [](ResourceBuilder& b) {
                                      b.addObject(b.addType(sizedType("Big", 0x7FFFFFFF)), {1, 2, 3});
                                  },
                                  "Error reading"}),
    [](const ::testing::TestParamInfo<HostileCase>& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace lumenpull
