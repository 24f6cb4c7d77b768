#include <gtest/gtest.h>

#include <functional>

#include "resource_fixture.h"

namespace lumenpull {
namespace {

using namespace test;

// Every field set to something recognisable; references point at object 0
// (the texture itself) so that a read reference is told from none.
TextureFields richFields() {
    TextureFields desc;
    desc.resourceWord = 21;
    desc.extraWord = 22;
    desc.nameIdent = 1;
    desc.firstRef = 0;
    desc.secondRef = 0;
    desc.width = 4;
    desc.height = 2;
    desc.flags = 0x202;
    desc.format = 7;
    desc.imageCount = 3;
    desc.legacyWord = 23;
    desc.pixels = {1, 2, 3, 4, 5};
    desc.wordArray = {-1, 0x01020304};
    desc.mips = {{1, 2, 3}, {4, 5, 6}};
    desc.textureRefA = desc.textureRefB = desc.textureRefC = desc.textureRefD = 0;
    desc.staticNameIdent = 2;
    desc.staticRefA = desc.staticRefB = desc.staticRefC = desc.staticRefD = 0;
    desc.staticWord = 24;
    desc.dynamicWord = 25;
    desc.colorRef = 1;
    desc.frameCount = 6;
    return desc;
}

// A texture of the given class and versions, followed in the same chunk by a
// second texture: a part read with the wrong layout misreads the second one.
std::vector<uint8_t> textureFile(TextureClass kind, const TypeVersions& versions,
                                 const TextureFields& desc = richFields()) {
    ResourceBuilder builder;
    StandardTypeOptions options;
    options.versions = versions;
    builder.addStandardTypes(options);
    builder.addIdent("wall");
    builder.addIdent("static");
    builder.addTexture(kind, desc);
    TextureFields second;
    second.width = 99;
    second.pixels = {42};
    builder.addTexture(TextureClass::Static, second);
    return builder.payload();
}

struct LayoutCase {
    const char* name;
    TextureClass kind;
    std::function<void(TypeVersions&)> versions;
    std::function<void(const ReadPayload&)> check;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class TextureLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(TextureLayouts, ReadEveryFieldOfTheirVersion) {
    const LayoutCase& c = GetParam();
    TypeVersions versions;
    c.versions(versions);
    ReadPayload read(textureFile(c.kind, versions));
    ASSERT_EQ(read.bodies.size(), 2u);
    const auto& first = *asTexture(read.bodies[0].object);
    EXPECT_EQ(first.width, 4);
    EXPECT_EQ(first.height, 2);
    EXPECT_EQ(first.textureFlags, 0x202u);
    EXPECT_EQ(first.pixelFormat, 7);
    EXPECT_EQ(first.pixelData, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(first.name, "wall");
    const auto& second = read.body<CStaticTexture>(1);
    EXPECT_EQ(second.width, 99);
    EXPECT_EQ(second.pixelData, std::vector<uint8_t>{42});
    c.check(read);
}

const CBaseTexture& first(const ReadPayload& read) { return *asTexture(read.bodies[0].object); }
const CObject* self(const ReadPayload& read) { return read.bodies[0].object; }

INSTANTIATE_TEST_SUITE_P(
    Versions, TextureLayouts,
    ::testing::Values(
        // CResource
        LayoutCase{"Resource3", TextureClass::Static, [](TypeVersions& v) { v.resource = 3; },
                   [](const ReadPayload& r) {
                       EXPECT_EQ(first(r).firstRef.object, self(r));
                       EXPECT_EQ(first(r).extraWord, 0);
                       EXPECT_EQ(first(r).secondRef.object, nullptr);
                   }},
        LayoutCase{"Resource4", TextureClass::Static, [](TypeVersions& v) { v.resource = 4; },
                   [](const ReadPayload& r) {
                       EXPECT_EQ(first(r).extraWord, 22);
                       EXPECT_EQ(first(r).secondRef.object, nullptr);
                   }},
        LayoutCase{"Resource5", TextureClass::Static, [](TypeVersions& v) { v.resource = 5; },
                   [](const ReadPayload& r) { EXPECT_EQ(first(r).secondRef.object, self(r)); }},
        LayoutCase{"Resource6", TextureClass::Static, [](TypeVersions& v) { v.resource = 6; },
                   [](const ReadPayload& r) { EXPECT_EQ(first(r).firstRef.object, self(r)); }},
        LayoutCase{"Resource7", TextureClass::Static, [](TypeVersions& v) { v.resource = 7; },
                   [](const ReadPayload& r) {
                       EXPECT_EQ(first(r).firstRef.object, self(r));
                       EXPECT_EQ(first(r).extraWord, 22);
                       EXPECT_EQ(first(r).resourceWord, 21);
                   }},
        LayoutCase{"Resource8", TextureClass::Static, [](TypeVersions& v) { v.resource = 8; },
                   [](const ReadPayload& r) { EXPECT_EQ(first(r).extraWord, 0); }},
        // CBaseTexture
        LayoutCase{"Base5", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 5; },
                   [](const ReadPayload& r) {
                       EXPECT_EQ(first(r).imageCount, 3);
                       EXPECT_EQ(first(r).legacyWord, 23);
                       EXPECT_EQ(first(r).wordArray, (std::vector<int32_t>{-1, 0x01020304}));
                       EXPECT_TRUE(first(r).mips.empty());
                   }},
        LayoutCase{"Base6", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 6; },
                   [](const ReadPayload& r) {
                       EXPECT_EQ(first(r).imageCount, 3);
                       EXPECT_TRUE(first(r).wordArray.empty());
                   }},
        LayoutCase{"Base8", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 8; },
                   [](const ReadPayload& r) { EXPECT_EQ(first(r).imageCount, 3); }},
        LayoutCase{"Base9", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 9; },
                   [](const ReadPayload& r) { EXPECT_EQ(first(r).imageCount, 0); }},
        LayoutCase{"Base12", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 12; },
                   [](const ReadPayload& r) {
                       EXPECT_TRUE(first(r).mips.empty());
                       EXPECT_EQ(first(r).textureRefA.object, nullptr);
                   }},
        LayoutCase{"Base13", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 13; },
                   [](const ReadPayload& r) {
                       ASSERT_EQ(first(r).mips.size(), 2u);
                       EXPECT_EQ(first(r).mips[1].mipWordC, 6);
                       EXPECT_EQ(first(r).mipWord, 130);
                       EXPECT_EQ(first(r).textureRefA.object, nullptr);
                   }},
        LayoutCase{"Base14", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 14; },
                   [](const ReadPayload& r) { EXPECT_EQ(first(r).textureRefA.object, self(r)); }},
        LayoutCase{"Base25", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 25; },
                   [](const ReadPayload& r) {
                       EXPECT_EQ(first(r).textureRefB.object, nullptr);
                       EXPECT_EQ(first(r).words26[0], 0);
                   }},
        LayoutCase{"Base26", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 26; },
                   [](const ReadPayload& r) {
                       EXPECT_EQ(first(r).textureRefB.object, self(r));
                       EXPECT_EQ(first(r).words26[2], 263);
                       EXPECT_EQ(first(r).word35A, 0);
                       EXPECT_EQ(first(r).textureRefC.object, nullptr);
                   }},
        LayoutCase{"Base34", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 34; },
                   [](const ReadPayload& r) { EXPECT_EQ(first(r).word35C, 0); }},
        LayoutCase{"Base35", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 35; },
                   [](const ReadPayload& r) {
                       EXPECT_EQ(first(r).word35A, 350);
                       EXPECT_EQ(first(r).word35B, 351);
                       EXPECT_EQ(first(r).textureRefD.object, self(r));
                       EXPECT_EQ(first(r).word35C, 352);
                   }},
        // CStaticTexture
        LayoutCase{"Static1", TextureClass::Static, [](TypeVersions& v) { v.staticTexture = 1; },
                   [](const ReadPayload& r) { EXPECT_EQ(r.body<CStaticTexture>(0).staticName, ""); }},
        LayoutCase{"Static2", TextureClass::Static, [](TypeVersions& v) { v.staticTexture = 2; },
                   [](const ReadPayload& r) { EXPECT_EQ(r.body<CStaticTexture>(0).staticName, ""); }},
        LayoutCase{"Static3", TextureClass::Static, [](TypeVersions& v) { v.staticTexture = 3; },
                   [](const ReadPayload& r) {
                       const auto& texture = r.body<CStaticTexture>(0);
                       EXPECT_EQ(texture.staticName, "static");
                       EXPECT_EQ(texture.keptBytes16[15], 0xAF);
                       EXPECT_EQ(texture.keptBytes8[7], 0xB7);
                   }},
        LayoutCase{"Static4", TextureClass::Static, [](TypeVersions& v) { v.staticTexture = 4; },
                   [](const ReadPayload& r) { EXPECT_EQ(r.body<CStaticTexture>(0).keptBytes8[0], 0); }},
        LayoutCase{"Static5", TextureClass::Static, [](TypeVersions& v) { v.staticTexture = 5; },
                   [](const ReadPayload& r) { EXPECT_EQ(r.body<CStaticTexture>(0).keptBytes16[0], 0xA0); }},
        LayoutCase{"Static6", TextureClass::Static, [](TypeVersions& v) { v.staticTexture = 6; },
                   [](const ReadPayload& r) { EXPECT_EQ(r.body<CStaticTexture>(0).staticRefA.object, self(r)); }},
        LayoutCase{"Static10", TextureClass::Static, [](TypeVersions& v) { v.staticTexture = 10; },
                   [](const ReadPayload& r) { EXPECT_EQ(r.body<CStaticTexture>(0).staticRefB.object, nullptr); }},
        LayoutCase{"Static11", TextureClass::Static, [](TypeVersions& v) { v.staticTexture = 11; },
                   [](const ReadPayload& r) {
                       const auto& texture = r.body<CStaticTexture>(0);
                       EXPECT_EQ(texture.staticRefA.object, nullptr);
                       EXPECT_EQ(texture.staticRefD.object, self(r));
                       EXPECT_EQ(texture.staticWord, 24);
                   }},
        // CDynamicLightStaticTexture: dispatched to its own reader.
        LayoutCase{"DynamicLight1", TextureClass::DynamicLightStatic,
                   [](TypeVersions& v) { v.dynamicLightStaticTexture = 1; },
                   [](const ReadPayload& r) {
                       const auto& texture = r.body<CDynamicLightStaticTexture>(0);
                       EXPECT_EQ(texture.staticName, "static");
                       EXPECT_EQ(texture.dynamicWord, 25);
                   }},
        // CColorTexture
        LayoutCase{"Color2", TextureClass::Color, [](TypeVersions& v) { v.colorTexture = 2; },
                   [](const ReadPayload& r) {
                       const auto& texture = r.body<CColorTexture>(0);
                       EXPECT_EQ(texture.colorRef.object, r.bodies[1].object);
                       EXPECT_EQ(texture.colorWords[8], 9);
                       EXPECT_EQ(texture.colorWords3[0], 0);
                   }},
        LayoutCase{"Color3", TextureClass::Color, [](TypeVersions& v) { v.colorTexture = 3; },
                   [](const ReadPayload& r) { EXPECT_EQ(r.body<CColorTexture>(0).colorWords3[3], 13); }},
        // CAnimTexture
        LayoutCase{"Anim2", TextureClass::Anim, [](TypeVersions& v) { v.animTexture = 2; },
                   [](const ReadPayload& r) { EXPECT_EQ(r.body<CAnimTexture>(0).frameCount, 6); }}),
    [](const ::testing::TestParamInfo<LayoutCase>& instance) { return std::string(instance.param.name); });

struct VersionErrorCase {
    const char* name;
    TextureClass kind;
    std::function<void(TypeVersions&)> versions;
    std::string message;
};

void PrintTo(const VersionErrorCase& c, std::ostream* os) { *os << c.name; }

class TextureVersionErrors : public ::testing::TestWithParam<VersionErrorCase> {};

TEST_P(TextureVersionErrors, EndTheFileWithTheVersion) {
    TypeVersions versions;
    GetParam().versions(versions);
    EXPECT_EQ(readError(textureFile(GetParam().kind, versions)), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, TextureVersionErrors,
    ::testing::Values(VersionErrorCase{"Resource2", TextureClass::Static, [](TypeVersions& v) { v.resource = 2; },
                                       "Invalid CResource format 2"},
                      VersionErrorCase{"Base4", TextureClass::Static, [](TypeVersions& v) { v.baseTexture = 4; },
                                       "Invalid CBaseTexture format 4"},
                      VersionErrorCase{"PlatformMip2", TextureClass::Static, [](TypeVersions& v) { v.platformMip = 2; },
                                       "Invalid CPlatformMip format 2"},
                      VersionErrorCase{"Static0", TextureClass::Static, [](TypeVersions& v) { v.staticTexture = 0; },
                                       "Invalid CStaticTexture format 0"},
                      VersionErrorCase{"DynamicLight0", TextureClass::DynamicLightStatic,
                                       [](TypeVersions& v) { v.dynamicLightStaticTexture = 0; },
                                       "Invalid CDynamicLightStaticTexture format 0"},
                      VersionErrorCase{"Color1", TextureClass::Color, [](TypeVersions& v) { v.colorTexture = 1; },
                                       "Invalid CColorTexture format 1"},
                      VersionErrorCase{"Anim1", TextureClass::Anim, [](TypeVersions& v) { v.animTexture = 1; },
                                       "Invalid CAnimTexture format 1"},
                      VersionErrorCase{"HugeVersionIsUnsigned", TextureClass::Anim,
                                       [](TypeVersions& v) {
                                           v.resource = 0xFFFFFFFF;
                                           v.animTexture = 1;
                                       },
                                       "Invalid CAnimTexture format 1"}),
    [](const ::testing::TestParamInfo<VersionErrorCase>& instance) { return std::string(instance.param.name); });

// The mip version is checked only when there are mips.
TEST(TextureReaders, NoMipsNoMipVersionCheck) {
    TypeVersions versions;
    versions.platformMip = 2;
    TextureFields desc = richFields();
    desc.mips.clear();
    EXPECT_EQ(readError(textureFile(TextureClass::Static, versions, desc)), "");
}

// Counts of 0 and below give empty arrays and consume only tag and count.
TEST(TextureReaders, EmptyAndNegativeCountsReadNothing) {
    TypeVersions versions;
    versions.baseTexture = 35;
    TextureFields desc = richFields();
    desc.pixels.clear();
    desc.pixelCount = -4;
    desc.mips.clear();
    desc.mipCount = -1;
    ReadPayload read(textureFile(TextureClass::Static, versions, desc));
    EXPECT_TRUE(read.body<CStaticTexture>(0).pixelData.empty());
    EXPECT_TRUE(read.body<CStaticTexture>(0).mips.empty());
    EXPECT_EQ(read.body<CStaticTexture>(1).width, 99);

    versions.baseTexture = 5;
    desc.wordArray.clear();
    desc.wordCount = 0;
    ReadPayload old(textureFile(TextureClass::Static, versions, desc));
    EXPECT_TRUE(old.body<CStaticTexture>(0).wordArray.empty());
    EXPECT_EQ(old.body<CStaticTexture>(1).width, 99);
}

struct ReferenceErrorCase {
    const char* name;
    std::function<void(TextureFields&)> change;
};

void PrintTo(const ReferenceErrorCase& c, std::ostream* os) { *os << c.name; }

class TextureReferenceErrors : public ::testing::TestWithParam<ReferenceErrorCase> {};

// An object or IDENT index outside its table fails the checked lookup; -1 is
// "none" for references but not for the colour reference (0 is).
TEST_P(TextureReferenceErrors, FailTheCheckedLookup) {
    TextureFields desc = richFields();
    GetParam().change(desc);
    EXPECT_EQ(readError(textureFile(TextureClass::Color, TypeVersions{}, desc)), "invalid vector subscript");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextureReferenceErrors,
    ::testing::Values(ReferenceErrorCase{"ColorMinusOne", [](TextureFields& s) { s.colorRef = -1; }},
                      ReferenceErrorCase{"ColorPastTheTable", [](TextureFields& s) { s.colorRef = 2; }},
                      ReferenceErrorCase{"ReferencePastTheTable", [](TextureFields& s) { s.textureRefB = 2; }},
                      ReferenceErrorCase{"ReferenceMinusTwo", [](TextureFields& s) { s.firstRef = -2; }},
                      ReferenceErrorCase{"NameIdent", [](TextureFields& s) { s.nameIdent = 3; }}),
    [](const ::testing::TestParamInfo<ReferenceErrorCase>& instance) { return std::string(instance.param.name); });

TEST(TextureReaders, ColorReferenceZeroIsNone) {
    TextureFields desc = richFields();
    desc.colorRef = 0;
    ReadPayload read(textureFile(TextureClass::Color, TypeVersions{}, desc));
    EXPECT_EQ(read.body<CColorTexture>(0).colorRef.object, nullptr);
}

// A custom-data member of the CResource type makes every resource part one
// reference longer.
TEST(TextureReaders, CustomDataMemberAddsAReference) {
    ResourceBuilder builder;
    StandardTypeOptions options;
    options.customData = true;
    builder.addStandardTypes(options);
    TextureFields desc = richFields();
    desc.nameIdent = 0;
    desc.staticNameIdent = 0;
    desc.customDataRef = 1;
    builder.addTexture(TextureClass::Static, desc);
    builder.addTexture(TextureClass::Anim, desc);
    ReadPayload read(builder.payload());
    EXPECT_EQ(read.body<CStaticTexture>(0).customData.object, read.bodies[1].object);
    EXPECT_EQ(read.body<CAnimTexture>(1).frameCount, 6);
}

// A texture class under another name is made and read as its nearest texture
// kind, with its own version for the concrete part.
TEST(TextureReaders, DerivedClassesAreReadAsTheirKind) {
    ResourceBuilder builder;
    const StandardTypes& types = builder.addStandardTypes();
    const int32_t fancy = builder.addType(structureType("CFancyAnim", 2, types.animTexture));
    const int32_t glow = builder.addType(structureType("CGlowTexture", 1, types.dynamicLightStaticTexture));
    TextureFields desc;
    desc.frameCount = 3;
    builder.addObject(fancy, textureBody(TextureClass::Anim, builder.versions(), desc));
    builder.addObject(glow, textureBody(TextureClass::DynamicLightStatic, builder.versions(), desc));
    ReadPayload read(builder.payload());
    EXPECT_EQ(read.body<CAnimTexture>(0).frameCount, 3);
    EXPECT_NO_THROW(read.body<CDynamicLightStaticTexture>(1));
    EXPECT_EQ(textureKindOf(*read.bodies[1].type), TextureKind::DynamicLightStatic);
}

struct BrokenHierarchyCase {
    const char* name;
    std::function<void(ResourceBuilder&)> change;  // after the standard types
    std::string message;
};

void PrintTo(const BrokenHierarchyCase& c, std::ostream* os) { *os << c.name; }

class BrokenHierarchies : public ::testing::TestWithParam<BrokenHierarchyCase> {};

TEST_P(BrokenHierarchies, EndTheFileWithAClearMessage) {
    ResourceBuilder builder;
    builder.addStandardTypes();
    GetParam().change(builder);
    TextureFields desc;
    desc.mips = {{1, 2, 3}};
    builder.addTexture(TextureClass::Static, desc);
    EXPECT_EQ(readError(builder.payload()), GetParam().message);
}

TypeEntry& typeAt(ResourceBuilder& b, int32_t index) {
    for (TypeEntry& type : b.meta.types) {
        if (type.index == index) return type;
    }
    throw std::logic_error("no such type");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenHierarchies,
    ::testing::Values(
        BrokenHierarchyCase{"NoBaseTexture",
                            [](ResourceBuilder& b) { typeAt(b, b.types().staticTexture).base = b.types().texture; },
                            "Data type 6 has no ancestor CBaseTexture"},
        BrokenHierarchyCase{"NoTexture",
                            [](ResourceBuilder& b) { typeAt(b, b.types().baseTexture).base = b.types().resource; },
                            "Data type 5 has no ancestor CTexture"},
        BrokenHierarchyCase{"NoResource", [](ResourceBuilder& b) { typeAt(b, b.types().texture).base = -1; },
                            "Data type 4 has no ancestor CResource"},
        BrokenHierarchyCase{"NoMipMember", [](ResourceBuilder& b) { typeAt(b, b.types().baseTexture).members.clear(); },
                            "Data type 5 has no member of type CStaticArray<CPlatformMip>"},
        BrokenHierarchyCase{"MipMemberWithoutBase", [](ResourceBuilder& b) { typeAt(b, b.types().mipArray).base = -1; },
                            "Missing base of data type 2"},
        BrokenHierarchyCase{"ExternalAncestorHasNoVersion",
                            [](ResourceBuilder& b) {
                                const int32_t resource = b.types().resource;
                                b.meta.externalTypes.push_back({resource, "CResource"});
                                std::erase_if(b.meta.types,
                                              [&](const TypeEntry& entry) { return entry.index == resource; });
                            },
                            "Invalid CResource format 0"},
        BrokenHierarchyCase{"CircularHierarchy",
                            [](ResourceBuilder& b) { typeAt(b, b.types().resource).base = b.types().staticTexture; },
                            "Circular base chain in data type 6"}),
    [](const ::testing::TestParamInfo<BrokenHierarchyCase>& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace lumenpull

namespace lumenpull {
namespace {

using namespace test;

// A body without inline pixels leaves the stream at its trailing pixel block,
// which the converter reads itself: layout word, size, bytes.
TEST(TextureReaders, BodyEndsWhereTheTrailingPixelBlockBegins) {
    ResourceBuilder builder;
    builder.addStandardTypes();
    TextureFields desc;
    desc.trailing = TrailingPixels{0x0100, {5, 6, 7}, std::nullopt};
    builder.addTexture(TextureClass::Static, desc);
    OpenedPayload opened(builder.payload());
    ResourceFile& file = opened.file;
    Stream& stream = opened.stream;
    file.ReadMetaData(stream, ReadDepth::Full);
    ObjectWalk walk(file, stream);
    walk.MakeObjects();
    const auto body = walk.NextBody();
    ASSERT_TRUE(body.has_value());
    ASSERT_NE(body->object, nullptr);
    EXPECT_TRUE(asTexture(body->object)->pixelData.empty());
    uint8_t word[2];
    stream.Peek(word, 2);
    EXPECT_EQ(word[0] | word[1] << 8, 0x0100);
    stream.Skip(2);
    uint8_t size[4];
    stream.Read(size, 4);
    EXPECT_EQ(size[0], 3);
    uint8_t pixels[3];
    stream.Read(pixels, 3);
    EXPECT_EQ(pixels[2], 7);
    EXPECT_FALSE(walk.NextBody().has_value());
    EXPECT_TRUE(file.ObjectsDone());
}

}  // namespace
}  // namespace lumenpull
