#include <gtest/gtest.h>

#include <functional>

#include "resource_fixture.h"

namespace lumenpull {
namespace {

using namespace test;
namespace tc = type_class;

const std::vector<uint8_t> kPixels = {9, 8, 7, 6, 5, 4};

// Adds the unknown type (and what it needs) and returns its index.
using MakeType = std::function<int32_t(ResourceBuilder&)>;

struct SizeCase {
    const char* name;
    MakeType make;
    std::vector<uint8_t> body;
    int32_t size;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

std::vector<uint8_t> bytes(std::function<void(ByteWriter&)> write) {
    ByteWriter out;
    write(out);
    return out.take();
}

// Stored value of a CString: i32 length and the bytes.
void cstring(ByteWriter& out, std::string_view text) { out.str(text); }

int32_t addCString(ResourceBuilder& b) { return b.addType(simpleType("CString", 99)); }

class StoredSizeRules : public ::testing::TestWithParam<SizeCase> {};

// The unknown object's body is held as exactly its stored size, and a texture
// right behind it in the same chunk reads correctly only if that size is right.
TEST_P(StoredSizeRules, MeasureTheBodyInFrontOfATexture) {
    const SizeCase& c = GetParam();
    ASSERT_EQ(c.body.size(), static_cast<size_t>(c.size));
    ResourceBuilder builder;
    builder.addStandardTypes();
    const int32_t type = c.make(builder);
    builder.addObject(type, c.body);
    builder.addStaticTexture(7, 3, 0x80, 5, kPixels);

    ReadPayload read(builder.payload());
    ASSERT_EQ(read.bodies.size(), 2u);
    const auto& unknown = read.body<CUnknownObject>(0);
    EXPECT_EQ(unknown.size, c.size);
    EXPECT_EQ(unknown.data, c.body);
    const auto& texture = read.body<CStaticTexture>(1);
    EXPECT_EQ(texture.width, 7);
    EXPECT_EQ(texture.textureFlags, 0x80u);
    EXPECT_EQ(texture.pixelData, kPixels);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StoredSizeRules,
    ::testing::Values(
        SizeCase{"IdentIsFourWhateverItsSize", [](ResourceBuilder& b) { return b.addType(simpleType("IDENT", 99)); },
                 {1, 2, 3, 4}, 4},
        SizeCase{"CStringIsLengthPlusFour", addCString, bytes([](ByteWriter& o) { cstring(o, "hello"); }), 9},
        SizeCase{"OtherSimpleIsItsValueSize", [](ResourceBuilder& b) { return b.addType(simpleType("Vec", 6)); },
                 {1, 2, 3, 4, 5, 6}, 6},
        SizeCase{"SizedIsItsValueSize", [](ResourceBuilder& b) { return b.addType(sizedType("Rgb", 3)); },
                 {1, 2, 3}, 3},
        SizeCase{"Reference2", [](ResourceBuilder& b) { return b.addType(linkType("R2", tc::Reference2, 0)); },
                 {1, 0, 0, 0}, 4},
        SizeCase{"Reference3", [](ResourceBuilder& b) { return b.addType(linkType("R3", tc::Reference3, 0)); },
                 {1, 0, 0, 0}, 4},
        SizeCase{"Reference11", [](ResourceBuilder& b) { return b.addType(linkType("R11", tc::Reference11, 0)); },
                 {1, 0, 0, 0}, 4},
        SizeCase{"Reference12", [](ResourceBuilder& b) { return b.addType(linkType("R12", tc::Reference12, 0)); },
                 {1, 0, 0, 0}, 4},
        SizeCase{"FixedArrayIsFirstElementTimesCount",
                 [](ResourceBuilder& b) { return b.addType(fixedArrayType("Names", addCString(b), 3)); },
                 bytes([](ByteWriter& o) { cstring(o, "ab"); o.words({1, 2, 3}); }), 18},
        SizeCase{"StructureIsBasePlusMembers",
                 [](ResourceBuilder& b) {
                     const int32_t base = b.addType(structureType("Base", 1, -1, {{b.types().ident}}));
                     const int32_t rgb = b.addType(sizedType("Rgb", 3));
                     return b.addType(structureType("Thing", 1, base, {{rgb}, {addCString(b)}}));
                 },
                 bytes([](ByteWriter& o) { o.i32(5).u8(1).u8(2).u8(3); cstring(o, "xy"); }), 13},
        SizeCase{"TransStringHasAFourBytePrefix",
                 [](ResourceBuilder& b) {
                     return b.addType(structureType("CTransString", 1, -1, {{b.types().ident}}));
                 },
                 bytes([](ByteWriter& o) { o.words({77, 3}); }), 8},
        SizeCase{"DynamicArray6OfNothing",
                 [](ResourceBuilder& b) { return b.addType(linkType("D6", tc::DynamicArray6, b.types().ident)); },
                 bytes([](ByteWriter& o) { o.words({1, 0}); }), 8},
        SizeCase{"DynamicArray7CountsTheFirstElementOnly",
                 [](ResourceBuilder& b) { return b.addType(linkType("D7", tc::DynamicArray7, addCString(b))); },
                 bytes([](ByteWriter& o) {
                     o.words({1, 2});
                     cstring(o, "abc");
                     cstring(o, "x");
                     o.u8(0).u8(0);
                 }),
                 22},
        SizeCase{"DynamicArrayOfStructures",
                 [](ResourceBuilder& b) {
                     const int32_t element = b.addType(structureType("Named", 1, -1, {{addCString(b)}}));
                     return b.addType(linkType("List", tc::DynamicArray6, element));
                 },
                 bytes([](ByteWriter& o) {
                     o.words({0, 2});
                     cstring(o, "ab");
                     cstring(o, "cd");
                 }),
                 20},
        SizeCase{"ReferenceArrayIsFourPerItem",
                 [](ResourceBuilder& b) { return b.addType(linkType("Refs", tc::ReferenceArray, 0)); },
                 bytes([](ByteWriter& o) { o.words({0, 3, 1, 2, 3}); }), 20},
        SizeCase{"AliasMeasuresItsBase",
                 [](ResourceBuilder& b) {
                     return b.addType(linkType("RgbAlias", tc::Alias, b.addType(sizedType("Rgb", 5))));
                 },
                 {1, 2, 3, 4, 5}, 5},
        SizeCase{"AliasOfAliasOfSimple",
                 [](ResourceBuilder& b) {
                     const int32_t inner = b.addType(linkType("Inner", tc::Alias, b.addType(simpleType("M", 12))));
                     return b.addType(linkType("Outer", tc::Alias, inner));
                 },
                 std::vector<uint8_t>(12, 1), 12},
        SizeCase{"SyncedMeasuresItsBase",
                 [](ResourceBuilder& b) {
                     return b.addType(templateType("Synced<Rgb>", "Synced", b.addType(sizedType("Rgb", 6))));
                 },
                 {1, 2, 3, 4, 5, 6}, 6},
        SizeCase{"ResourceLinkIsLengthPlusFour",
                 [](ResourceBuilder& b) { return b.addType(templateType("Link", "ResourceLink", -1)); },
                 bytes([](ByteWriter& o) { cstring(o, "ab"); }), 6},
        SizeCase{"OtherTemplateIsFour",
                 [](ResourceBuilder& b) { return b.addType(templateType("Handle", "Handle", -1)); },
                 {1, 2, 3, 4}, 4},
        SizeCase{"ExternalMemberIsEmpty",
                 [](ResourceBuilder& b) {
                     const int32_t external = b.addExternalType("CElsewhere");
                     const int32_t rgb = b.addType(sizedType("Rgb", 2));
                     return b.addType(structureType("Mixed", 1, -1, {{external}, {rgb}}));
                 },
                 {1, 2}, 2}),
    [](const ::testing::TestParamInfo<SizeCase>& instance) { return std::string(instance.param.name); });

struct SizeErrorCase {
    const char* name;
    MakeType make;
    std::vector<uint8_t> body;
    std::string message;  // "%" stands for the index of the type made
};

void PrintTo(const SizeErrorCase& c, std::ostream* os) { *os << c.name; }

class StoredSizeErrors : public ::testing::TestWithParam<SizeErrorCase> {};

TEST_P(StoredSizeErrors, EndTheFileWithTheirMessage) {
    const SizeErrorCase& c = GetParam();
    ResourceBuilder builder;
    builder.addStandardTypes();
    const int32_t type = c.make(builder);
    builder.addObject(type, c.body);
    builder.addStaticTexture(1, 1, 0, 5, kPixels);
    std::string message = c.message;
    if (const auto at = message.find('%'); at != std::string::npos) message.replace(at, 1, std::to_string(type));
    EXPECT_EQ(readError(builder.payload()), message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredSizeErrors,
    ::testing::Values(SizeErrorCase{"FixedArrayWithoutBase",
                                    [](ResourceBuilder& b) { return b.addType(fixedArrayType("A", -1, 2)); },
                                    {},
                                    "Missing base of data type %"},
                      SizeErrorCase{"DynamicArrayWithoutBase",
                                    [](ResourceBuilder& b) { return b.addType(linkType("D", tc::DynamicArray6, -1)); },
                                    bytes([](ByteWriter& o) {
                                        o.words({0, 1, 0});
                                    }),
                                    "Missing base of data type %"},
                      SizeErrorCase{"SyncedWithoutBase",
                                    [](ResourceBuilder& b) { return b.addType(templateType("S", "Synced", -1)); },
                                    {},
                                    "Missing base of data type %"},
                      SizeErrorCase{"StructureContainingItself",
                                    [](ResourceBuilder& b) {
                                        TypeEntry self = structureType("Self");
                                        self.index = b.meta.types.back().index + 1;
                                        self.members = {{self.index}};
                                        return b.addType(self);
                                    },
                                    {},
                                    "Stored value of data type % nests too deeply or in a circle"},
                      SizeErrorCase{"BaseChainInACircle",
                                    [](ResourceBuilder& b) {
                                        const int32_t first = b.meta.types.back().index + 1;
                                        b.addType(structureType("First", 1, first + 1));
                                        return b.addType(structureType("Second", 1, first));
                                    },
                                    {},
                                    "Circular base chain in data type %"},
                      SizeErrorCase{"ProductPastTheLimit",
                                    [](ResourceBuilder& b) {
                                        return b.addType(fixedArrayType("Huge", b.addType(sizedType("W", 4)), 1 << 29));
                                    },
                                    {},
                                    "Stored size of data type % out of range"},
                      SizeErrorCase{"SumPastTheLimit",
                                    [](ResourceBuilder& b) {
                                        const int32_t byte = b.addType(sizedType("Byte", 1));
                                        const int32_t most = b.addType(fixedArrayType("Most", byte, 0x7FFFFFFF));
                                        return b.addType(structureType("Both", 1, -1, {{b.types().ident}, {most}}));
                                    },
                                    {1, 2, 3, 4},
                                    "Stored size of data type % out of range"},
                      SizeErrorCase{"NegativeLength", addCString, bytes([](ByteWriter& o) { o.i32(-5); }),
                                    "Stored size of data type % out of range"},
                      SizeErrorCase{"NegativeCount",
                                    [](ResourceBuilder& b) {
                                        return b.addType(linkType("D", tc::DynamicArray7, b.types().ident));
                                    },
                                    bytes([](ByteWriter& o) {
                                        o.words({0, -1});
                                    }),
                                    "Stored size of data type % out of range"},
                      SizeErrorCase{"NegativeValueSize",
                                    [](ResourceBuilder& b) { return b.addType(sizedType("Neg", -8)); },
                                    {},
                                    "Stored size of data type % out of range"},
                      SizeErrorCase{"UndeclaredMember",
                                    [](ResourceBuilder& b) {
                                        b.meta.typeCount = 40;
                                        return b.addType(structureType("Holes", 1, -1, {{39}}));
                                    },
                                    {},
                                    "Undeclared data type 39"},
                      SizeErrorCase{"BodyLargerThanTheFile",
                                    [](ResourceBuilder& b) { return b.addType(sizedType("Big", 1 << 30)); },
                                    {},
                                    "Error reading"}),
    [](const ::testing::TestParamInfo<SizeErrorCase>& instance) { return std::string(instance.param.name); });

// A legal base chain far deeper than any call stack could follow: the kind
// tests walk it, and the body is measured through all of it.
TEST(StoredSizeDepth, DeepLegalChainsNeitherOverflowNorHitTheLimit) {
    ResourceBuilder builder;
    builder.addStandardTypes();
    int32_t type = builder.addType(structureType("Level0", 1, -1, {{builder.types().ident}}));
    const int depth = 70000;
    for (int level = 1; level < depth; ++level) {
        type = builder.addType(structureType("Level" + std::to_string(level), 1, type));
    }
    builder.addObject(type, {1, 2, 3, 4});
    builder.addStaticTexture(3, 3, 0, 5, kPixels);
    ReadPayload read(builder.payload());
    ASSERT_EQ(read.bodies.size(), 2u);
    EXPECT_EQ(read.body<CUnknownObject>(0).size, 4);
    EXPECT_TRUE(read.bodies[0].type->IsKindOf("Level0"));
    EXPECT_EQ(read.body<CStaticTexture>(1).width, 3);
}

// The position is restored by every rule, also when measured on its own.
TEST(StoredSize, LeavesTheStreamWhereItWas) {
    ResourceBuilder builder;
    builder.addStandardTypes();
    const int32_t cstringType = addCString(builder);
    const int32_t list = builder.addType(linkType("List", tc::DynamicArray6, cstringType));
    const int32_t type = builder.addType(structureType("CTransString", 1, -1, {{list}, {cstringType}}));
    std::vector<uint8_t> payload = builder.payload();
    const uint64_t start = payload.size();
    ByteWriter value;
    value.i32(1).words({0, 2}).str("abc").str("def").str("hello");
    payload.insert(payload.end(), value.data().begin(), value.data().end());
    OpenedPayload opened(payload);
    opened.file.ReadMetaData(opened.stream, ReadDepth::Full);
    opened.stream.Seek(static_cast<int64_t>(start), SeekOrigin::Begin);
    EXPECT_EQ(opened.file.DataTypeAt(type).StoredSize(opened.stream), 4 + 8 + 14 + 9);
    EXPECT_EQ(opened.stream.Tell(), start);
}

}  // namespace
}  // namespace lumenpull
