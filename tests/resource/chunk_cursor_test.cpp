#include <gtest/gtest.h>

#include "resource_fixture.h"
#include "stream/tag.h"

namespace lumenpull {
namespace {

using namespace test;

std::vector<uint8_t> pixels(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    return bytes;
}

TEST(ChunkCursor, FourEmptyChunksEndBothPassesAtOnce) {
    ResourceBuilder builder;
    builder.addStandardTypes();
    OpenedPayload opened(builder.payload());
    ResourceFile& file = opened.file;
    file.ReadMetaData(opened.stream, ReadDepth::Full);
    EXPECT_FALSE(file.TypesDone());
    EXPECT_EQ(file.NextObjectType(opened.stream), nullptr);
    EXPECT_TRUE(file.TypesDone());
    EXPECT_FALSE(file.ObjectsDone());
    const DataType* type = nullptr;
    EXPECT_EQ(file.NextObject(opened.stream, type), nullptr);
    EXPECT_TRUE(file.ObjectsDone());
    EXPECT_EQ(opened.stream.Tell(), opened.stream.Size());
}

// An empty OBTY chunk is stepped over to the records of EDTY; objects whose
// records are in the edited chunks are made and read like the others.
TEST(ChunkCursor, EditedChunksFollowEmptyAndFilledFirstChunks) {
    ResourceBuilder builder;
    const StandardTypes& types = builder.addStandardTypes();
    builder.addStaticTexture(2, 1, 0, 5, pixels(8));
    builder.addStaticTexture(3, 1, 0, 5, pixels(12));
    TextureFields anim;
    anim.frameCount = 4;
    anim.pixels = pixels(3);
    builder.addTexture(TextureClass::Anim, anim, true);

    ReadPayload read(builder.payload());
    ASSERT_EQ(read.bodies.size(), 3u);
    EXPECT_EQ(read.body<CStaticTexture>(0).width, 2);
    EXPECT_EQ(read.body<CStaticTexture>(1).pixelData, pixels(12));
    EXPECT_EQ(read.body<CAnimTexture>(2).frameCount, 4);
    EXPECT_EQ(read.bodies[2].type->index, types.animTexture);

    ResourceBuilder editedOnly;
    editedOnly.addStandardTypes();
    editedOnly.addTexture(TextureClass::Anim, anim, true);
    OpenedPayload opened(editedOnly.payload());
    opened.file.ReadMetaData(opened.stream, ReadDepth::Full);
    const DataType* first = opened.file.NextObjectType(opened.stream);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->name, "CAnimTexture");
    EXPECT_FALSE(opened.file.TypesDone());
}

// A body record of an External type has no body: the next record follows its
// two indices at once. The objects of such records come from EXOB.
TEST(ChunkCursor, ExternalBodiesAreEmpty) {
    ResourceBuilder builder;
    builder.addStandardTypes();
    const int32_t file = builder.addReferencedFile("shared.rsc");
    const int32_t externalType = builder.addExternalType("CSharedThing");
    const int32_t externalObject = builder.addExternalObject(file, externalType, 31);
    builder.chunks.bodies.push_back({externalObject, externalType, {}});
    builder.addStaticTexture(5, 6, 0, 5, pixels(4));
    // A record of an External type may even name an object slot left empty.
    const int32_t emptySlot = builder.nextObjectIndex();
    builder.meta.objectCount = emptySlot + 1;
    builder.chunks.editedBodies.push_back({emptySlot, externalType, {}});

    ReadPayload read(builder.payload());
    ASSERT_EQ(read.bodies.size(), 3u);
    auto* external = dynamic_cast<CExternalObject*>(read.bodies[0].object);
    ASSERT_NE(external, nullptr);
    EXPECT_EQ(external->externalId, 31);
    EXPECT_EQ(read.bodies[0].type->typeClass, DataTypeClass::External);
    EXPECT_EQ(read.body<CStaticTexture>(1).height, 6);
    EXPECT_EQ(read.bodies[2].object, nullptr);
}

struct CursorErrorCase {
    const char* name;
    std::function<void(ResourceBuilder&)> change;
    std::string message;
};

void PrintTo(const CursorErrorCase& c, std::ostream* os) { *os << c.name; }

class ChunkCursorErrors : public ::testing::TestWithParam<CursorErrorCase> {};

// The builder's file holds one static texture (object 0) of type
// `staticTexture`; each case spoils one record.
TEST_P(ChunkCursorErrors, EndTheFileWithTheirMessage) {
    ResourceBuilder builder;
    builder.addStandardTypes();
    builder.addStaticTexture(1, 1, 0, 5, pixels(1));
    GetParam().change(builder);
    EXPECT_EQ(readError(builder.payload()), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChunkCursorErrors,
    ::testing::Values(
        CursorErrorCase{"TypeRecordTypeIndex", [](ResourceBuilder& b) { b.chunks.types[0].type = 99; },
                        "invalid vector subscript"},
        CursorErrorCase{"TypeRecordObjectIndex", [](ResourceBuilder& b) { b.chunks.types[0].object = 1; },
                        "Invalid object index 1"},
        CursorErrorCase{"TypeRecordObjectIndexNegative", [](ResourceBuilder& b) { b.chunks.types[0].object = -1; },
                        "Invalid object index -1"},
        CursorErrorCase{"BodyRecordTypeIndex", [](ResourceBuilder& b) { b.chunks.bodies[0].type = -1; },
                        "invalid vector subscript"},
        CursorErrorCase{"BodyRecordObjectIndex", [](ResourceBuilder& b) { b.chunks.bodies[0].object = 1; },
                        "invalid vector subscript"},
        CursorErrorCase{"BodyOfAnObjectNeverMade",
                        [](ResourceBuilder& b) {
                            b.meta.objectCount = 2;
                            b.chunks.bodies[0].object = 1;
                        },
                        "Object 1 has a body but was never made"},
        CursorErrorCase{"BodyOfAnotherClass",
                        [](ResourceBuilder& b) { b.chunks.bodies[0].type = b.types().animTexture; },
                        "Body of data type 9 does not match the object made for it"},
        CursorErrorCase{"UnknownBodyForATexture", [](ResourceBuilder& b) { b.chunks.bodies[0].type = b.types().ident; },
                        "Body of data type 0 does not match the object made for it"},
        CursorErrorCase{"UndeclaredType",
                        [](ResourceBuilder& b) {
                            b.meta.typeCount = 20;
                            b.chunks.types[0].type = 19;
                        },
                        "Undeclared data type 19"},
        CursorErrorCase{"WrongChunkTag", [](ResourceBuilder& b) { b.chunks.counts[0] = 0; },
                        "Expected '" + std::to_string(MakeTag("EDTY")) + "' but found '0'"},
        CursorErrorCase{"Truncated", [](ResourceBuilder& b) { b.chunks.counts[3] = 1; }, "Error reading"}),
    [](const ::testing::TestParamInfo<CursorErrorCase>& instance) { return std::string(instance.param.name); });

TEST(ChunkCursor, RegisteringWithoutARecordIsRefused) {
    ResourceBuilder builder;
    builder.addStandardTypes();
    OpenedPayload opened(builder.payload());
    opened.file.ReadMetaData(opened.stream, ReadDepth::Full);
    EXPECT_EQ(errorOf([&] { opened.file.RegisterObject(std::make_unique<CUnknownObject>()); }),
              "No object record to register an object for");
}

}  // namespace
}  // namespace lumenpull
