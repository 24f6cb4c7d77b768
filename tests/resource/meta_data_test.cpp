#include <gtest/gtest.h>

#include <functional>

#include "resource/table_errors.h"
#include "resource_fixture.h"

namespace lumenpull {
namespace {

using namespace test;

// A small block touching every chunk: a referenced file, two identifiers
// stored out of order, an external type, a simple type, a structure with one
// member, an alias and an external object.
MetaDataBlock sampleMeta(uint32_t formatVersion) {
    MetaDataBlock meta;
    meta.formatVersion = formatVersion;
    meta.infoWord = 0xABCD;
    meta.files = {{0, 77, "other.rsc"}};
    meta.idents = {{1, "second"}, {0, "first"}};
    meta.externalTypes = {{0, "CElsewhere"}};
    TypeEntry ident = simpleType("IDENT", 4);
    ident.index = 1;
    TypeEntry thing = structureType("CThing", 6, -1, {{1, "m", 42}});
    thing.index = 2;
    TypeEntry alias = linkType("IdentAlias", type_class::Alias, 1);
    alias.index = 3;
    meta.types = {ident, thing, alias};
    meta.externalObjects = {{0, 0, 9, 0, 0}};
    return meta;
}

struct LayoutCase {
    uint32_t formatVersion;
    uint32_t cookie;
    uint32_t infoWord;        // as read
    const char* messageText;  // as read
    int32_t memberWord;       // as read
    const char* memberName;   // as read
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << "version " << c.formatVersion; }

class MetaDataLayout : public ::testing::TestWithParam<LayoutCase> {};

// MSGS from 10, the INFO word from 8, the obtain word from 9, and the three
// member layouts (word and name below 5, name only from 5 to 10, word only
// from 11); both cookie forms read the rest identically.
TEST_P(MetaDataLayout, ReadsEveryChunkOfItsVersion) {
    const LayoutCase& c = GetParam();
    MetaDataBlock desc = sampleMeta(c.formatVersion);
    desc.cookie = c.cookie;
    const std::vector<uint8_t> payload = writeMetaData(desc);
    OpenedPayload opened(payload);
    ResourceFile& file = opened.file;
    file.ReadMetaData(opened.stream, ReadDepth::Full);

    EXPECT_EQ(opened.stream.Tell(), payload.size());
    EXPECT_EQ(file.FormatVersion(), c.formatVersion);
    EXPECT_EQ(file.Cookie(), c.cookie);
    EXPECT_EQ(file.MetaText(), "meta");
    EXPECT_EQ(file.MessageText(), c.messageText);
    EXPECT_EQ(file.InfoWord(), c.infoWord);

    ASSERT_EQ(file.ReferencedFileCount(), 1);
    ASSERT_NE(file.ReferencedFileAt(0), nullptr);
    EXPECT_EQ(file.ReferencedFileAt(0)->word, 77u);
    EXPECT_EQ(file.ReferencedFileAt(0)->fileName, "other.rsc");
    ASSERT_EQ(file.IdentCount(), 2);
    EXPECT_EQ(file.Ident(0), "first");
    EXPECT_EQ(file.Ident(1), "second");

    ASSERT_EQ(file.DataTypeCount(), 4);
    const DataType& external = file.DataTypeAt(0);
    EXPECT_EQ(external.name, "CElsewhere");
    EXPECT_EQ(external.typeClass, DataTypeClass::External);
    EXPECT_EQ(external.base, nullptr);
    const DataType& thing = file.DataTypeAt(2);
    EXPECT_EQ(thing.version, 6u);
    EXPECT_EQ(thing.typeClass, DataTypeClass::Structure);
    ASSERT_EQ(thing.members.size(), 1u);
    EXPECT_EQ(thing.members[0].word, c.memberWord);
    EXPECT_EQ(thing.members[0].name, c.memberName);
    EXPECT_EQ(thing.members[0].type, &file.DataTypeAt(1));
    EXPECT_EQ(file.DataTypeAt(3).base, &file.DataTypeAt(1));
    EXPECT_EQ(file.DataTypeAt(3).valueSize, 4);  // taken over from the simple type
    ASSERT_EQ(file.InternalTypes().size(), 3u);
    EXPECT_EQ(file.InternalTypes()[1], &thing);

    ASSERT_EQ(file.ObjectCount(), 1);
    auto* object = dynamic_cast<CExternalObject*>(file.ObjectAt(0));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->referencedFile, file.ReferencedFileAt(0));
    EXPECT_EQ(object->externalId, 9);
    EXPECT_EQ(object->obtainWord, 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, MetaDataLayout,
                         ::testing::Values(LayoutCase{4, kCookie, 0, "", 42, "m"},
                                           LayoutCase{5, kCookie, 0, "", -1, "m"},
                                           LayoutCase{7, kCookie, 0, "", -1, "m"},
                                           LayoutCase{8, kCookie, 0xABCD, "", -1, "m"},
                                           LayoutCase{9, kSwappedCookie, 0xABCD, "", -1, "m"},
                                           LayoutCase{10, kCookie, 0xABCD, "messages", -1, "m"},
                                           LayoutCase{11, kSwappedCookie, 0xABCD, "messages", 42, ""}));

TEST(MetaDataDepth, HeaderOnlyStopsAfterTheCountsAndTypesOnlyAfterTheTypes) {
    const MetaDataBlock desc = sampleMeta(11);
    const std::vector<uint8_t> payload = writeMetaData(desc);
    // Header: 4 tags + cookie + version + "meta" (8) + MSGS "messages" (4 + 12)
    // + INFO tag and word + four counts.
    const uint64_t headerEnd = 8 + 4 + 4 + 8 + 16 + 8 + 16;
    {
        OpenedPayload opened(payload);
        opened.file.ReadMetaData(opened.stream, ReadDepth::HeaderOnly);
        EXPECT_EQ(opened.stream.Tell(), headerEnd);
        EXPECT_EQ(opened.file.DataTypeCount(), 0);
    }
    OpenedPayload opened(payload);
    opened.file.ReadMetaData(opened.stream, ReadDepth::TypesOnly);
    const uint64_t exobSize = 4 + 4 + 5 * 4;
    EXPECT_EQ(opened.stream.Tell(), payload.size() - exobSize);
    EXPECT_EQ(opened.file.ObjectCount(), 0);
    EXPECT_EQ(opened.file.DataTypeAt(2).name, "CThing");
}

TEST(MetaDataDepth, TypesOnlyNeverSizesTheObjectTable) {
    MetaDataBlock desc = sampleMeta(11);
    desc.objectCount = -1;
    EXPECT_EQ(metaDataError(writeMetaData(desc), ReadDepth::TypesOnly), "");
    EXPECT_EQ(metaDataError(writeMetaData(desc), ReadDepth::Full), "vector too long");
}

TEST(MetaData, ReadingAgainStartsFromEmptyTables) {
    const std::vector<uint8_t> payload = writeMetaData(sampleMeta(11));
    OpenedPayload opened(payload);
    opened.file.ReadMetaData(opened.stream, ReadDepth::Full);
    opened.stream.Seek(0, SeekOrigin::Begin);
    opened.file.ReadMetaData(opened.stream, ReadDepth::HeaderOnly);
    EXPECT_EQ(opened.file.ObjectCount(), 0);
    EXPECT_EQ(opened.file.IdentCount(), 0);
    EXPECT_TRUE(opened.file.InternalTypes().empty());
    opened.file.Reset();
    EXPECT_EQ(opened.file.FormatVersion(), 0u);
    EXPECT_EQ(opened.file.InfoWord(), 0u);
    EXPECT_EQ(opened.file.MetaText(), "");
}

TEST(MetaData, RepeatedIndexReplacesTheEarlierRecordAndUnfilledSlotsStayEmpty) {
    MetaDataBlock desc = sampleMeta(11);
    desc.files = {{1, 1, "a.rsc"}, {1, 2, "b.rsc"}};
    desc.idents = {{1, "one"}, {1, "uno"}};
    desc.externalObjects = {};
    const std::vector<uint8_t> payload = writeMetaData(desc);
    OpenedPayload opened(payload);
    opened.file.ReadMetaData(opened.stream, ReadDepth::Full);
    EXPECT_EQ(opened.file.ReferencedFileAt(0), nullptr);
    EXPECT_EQ(opened.file.ReferencedFileAt(1)->fileName, "b.rsc");
    EXPECT_EQ(opened.file.Ident(0), "");
    EXPECT_EQ(opened.file.Ident(1), "uno");
    EXPECT_EQ(errorOf([&] { opened.file.Ident(2); }), "invalid vector subscript");
    EXPECT_EQ(errorOf([&] { opened.file.ReferencedFileAt(-1); }), "invalid vector subscript");
}

// An external object may name a referenced-file slot that no entry filled.
TEST(MetaData, ExternalObjectOfAnUnfilledReferencedFileHasNone) {
    MetaDataBlock desc = sampleMeta(11);
    desc.files = {{1, 0, "b.rsc"}, {1, 0, "b.rsc"}};
    desc.externalObjects = {{0, 0, 5, 0, 0}};
    const std::vector<uint8_t> payload = writeMetaData(desc);
    OpenedPayload opened(payload);
    opened.file.ReadMetaData(opened.stream, ReadDepth::Full);
    auto* object = dynamic_cast<CExternalObject*>(opened.file.ObjectAt(0));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->referencedFile, nullptr);
}

struct ErrorCase {
    const char* name;
    std::function<void(MetaDataBlock&)> change;
    std::string message;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

class MetaDataErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(MetaDataErrors, EndTheReadWithTheirMessage) {
    MetaDataBlock desc = sampleMeta(11);
    GetParam().change(desc);
    EXPECT_EQ(metaDataError(writeMetaData(desc)), GetParam().message);
}

TypeEntry& thing(MetaDataBlock& desc) { return desc.types[1]; }

INSTANTIATE_TEST_SUITE_P(
    Cases, MetaDataErrors,
    ::testing::Values(
        ErrorCase{"Cookie", [](MetaDataBlock& s) { s.cookie = 0x1234ABCE; }, "Invalid endianness cookie"},
        ErrorCase{"FileCount", [](MetaDataBlock& s) { s.rfilCount = 2; }, "Inconsistent number of referenced files"},
        ErrorCase{"FileIndexAtCount", [](MetaDataBlock& s) { s.files[0].index = 1; },
                  "Invalid referenced file index 1"},
        ErrorCase{"FileIndexNegative", [](MetaDataBlock& s) { s.files[0].index = -1; },
                  "Invalid referenced file index -1"},
        ErrorCase{"IdentCount", [](MetaDataBlock& s) { s.identCount = 3; }, "Inconsistent number of IDENTs"},
        ErrorCase{"IdentIndexNegative", [](MetaDataBlock& s) { s.idents[1].index = -3; }, "Invalid IDENT index -3"},
        ErrorCase{"IdentIndexAtCount", [](MetaDataBlock& s) { s.idents[0].index = 2; }, "Invalid IDENT index 2"},
        ErrorCase{"ExternalTypeIndex",
                  [](MetaDataBlock& s) {
                      s.externalTypes[0].index = 4;
                      s.typeCount = 4;
                  },
                  "Invalid data type index 4"},
        ErrorCase{"InternalTypeIndex", [](MetaDataBlock& s) { s.types[0].index = -5; }, "Invalid data type index -5"},
        ErrorCase{"BaseIndex", [](MetaDataBlock& s) { s.types[2].base = 99; }, "Invalid data type index 99"},
        ErrorCase{"MemberTypeMinusOne", [](MetaDataBlock& s) { thing(s).members[0].type = -1; },
                  "Invalid data type index -1"},
        ErrorCase{"TwoDimensions",
                  [](MetaDataBlock& s) {
                      TypeEntry array = fixedArrayType("Pair", 1, 2);
                      array.index = 3;
                      array.dimensions = 2;
                      s.types[2] = array;
                  },
                  "Only one dimension arrays supported"},
        ErrorCase{"Class9", [](MetaDataBlock& s) { thing(s).typeClass = 9; }, "Unexpected data type class"},
        ErrorCase{"Class10", [](MetaDataBlock& s) { thing(s).typeClass = 10; }, "Unexpected data type class"},
        ErrorCase{"Class15", [](MetaDataBlock& s) { thing(s).typeClass = 15; }, "Unexpected data type class"},
        ErrorCase{"ClassNegative", [](MetaDataBlock& s) { thing(s).typeClass = -1; }, "Unexpected data type class"},
        ErrorCase{"ObjectIndex",
                  [](MetaDataBlock& s) {
                      s.externalObjects[0].object = 1;
                      s.objectCount = 1;
                  },
                  "Invalid object index 1"},
        ErrorCase{"ObjectIndexNegative",
                  [](MetaDataBlock& s) {
                      s.externalObjects[0].object = -2;
                      s.objectCount = 1;
                  },
                  "Invalid object index -2"},
        ErrorCase{"ObjectFileIndex", [](MetaDataBlock& s) { s.externalObjects[0].file = 1; },
                  "Invalid referenced file index 1"},
        ErrorCase{"Obtain", [](MetaDataBlock& s) { s.externalObjects[0].obtain = 1; }, "Obtain type is non zero"},
        ErrorCase{"ObjectTypeIndex", [](MetaDataBlock& s) { s.externalObjects[0].type = 4; },
                  "Invalid object type index 4"},
        ErrorCase{"ObjectTypeIndexNegative", [](MetaDataBlock& s) { s.externalObjects[0].type = -7; },
                  "Invalid object type index -7"},
        ErrorCase{"NegativeTableCount", [](MetaDataBlock& s) { s.fileCount = -1; }, "vector too long"},
        ErrorCase{"TableCountPastTheLimit", [](MetaDataBlock& s) { s.identCount = 1073741824; }, "vector too long"},
        ErrorCase{"NegativeObjectCount", [](MetaDataBlock& s) { s.objectCount = -1; }, "vector too long"},
        ErrorCase{"NegativeInternalTypeCount", [](MetaDataBlock& s) { s.intyCount = -1; }, "vector too long"},
        ErrorCase{"MemberCountPastTheLimit", [](MetaDataBlock& s) { thing(s).storedMemberCount = 268435456; },
                  "vector too long"},
        ErrorCase{"AliasWithoutBase", [](MetaDataBlock& s) { s.types[2].base = -1; }, "Missing base of data type 3"},
        ErrorCase{"AliasCircle",
                  [](MetaDataBlock& s) {
                      TypeEntry other = linkType("Other", type_class::Alias, 3);
                      other.index = 4;
                      s.types[2].base = 4;
                      s.types.push_back(other);
                  },
                  "Circular base chain in data type 3"},
        ErrorCase{"Truncated", [](MetaDataBlock& s) { s.exobCount = 2; }, "Error reading"}),
    [](const ::testing::TestParamInfo<ErrorCase>& instance) { return std::string(instance.param.name); });

TEST(MetaDataErrors, WrongTagNamesBothValues) {
    std::vector<uint8_t> payload = writeMetaData(sampleMeta(11));
    payload[4] = 'X';  // "META" becomes "XETA"
    EXPECT_EQ(metaDataError(payload), "Expected '1096041805' but found '1096041816'");
}

// Members are read one by one up to the end of the file, whatever the count.
TEST(MetaDataErrors, MemberCountBeyondTheFileEndsInAReadError) {
    MetaDataBlock desc = sampleMeta(11);
    desc.types.pop_back();
    thing(desc).storedMemberCount = 268435455;
    desc.externalObjects.clear();
    std::vector<uint8_t> payload = writeMetaData(desc);
    payload.resize(payload.size() - 8);  // no EXOB chunk: the members run into the end
    EXPECT_EQ(metaDataError(payload), "Error reading");
}

// An alias of an alias of a simple type ends with the simple type's size; an
// alias of a structure keeps its own.
TEST(MetaData, AliasPassCopiesTheSimpleSizeThroughAliases) {
    MetaDataBlock desc = sampleMeta(11);
    desc.types[0].valueSize = 12;
    TypeEntry outer = linkType("Outer", type_class::Alias, 3);
    outer.index = 4;
    TypeEntry ofStructure = linkType("OfStructure", type_class::Alias, 2);
    ofStructure.index = 5;
    desc.types.push_back(outer);
    desc.types.push_back(ofStructure);
    const std::vector<uint8_t> payload = writeMetaData(desc);
    OpenedPayload opened(payload);
    opened.file.ReadMetaData(opened.stream, ReadDepth::TypesOnly);
    EXPECT_EQ(opened.file.DataTypeAt(4).valueSize, 12);
    EXPECT_EQ(opened.file.DataTypeAt(5).valueSize, 0);
}

}  // namespace
}  // namespace lumenpull
