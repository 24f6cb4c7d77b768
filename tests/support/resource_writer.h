#pragma once

// Test-side writer of resource payloads: the meta-data block, the four object
// chunks, texture bodies of every layout version and the trailing pixel
// block. It produces payload bytes only; a container writer wraps them, or a
// test writes them as a plain file.
//
// A whole file in a few lines:
//
//     ResourceBuilder file;                        // format version 11
//     file.addStandardTypes();                     // CResource ... CAnimTexture
//     file.addStaticTexture(4, 2, 0, 5, pixels);   // one object, inline pixels
//     dir.writeFile("a.tex", file.payload());
//
// Every count the file stores is derived from the lists unless a test sets
// the matching override, so malformed files are stated just as briefly.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumenpull::test {

// Appends little-endian values to a byte vector.
class ByteWriter {
public:
    ByteWriter& u8(uint8_t value);
    ByteWriter& u16(uint16_t value);
    ByteWriter& u32(uint32_t value);
    ByteWriter& i32(int32_t value);
    ByteWriter& words(std::initializer_list<int32_t> values);
    ByteWriter& tag(std::string_view fourLetters);
    // A counted string: u32 length, then the bytes without terminator.
    ByteWriter& str(std::string_view text);
    ByteWriter& bytes(std::span<const uint8_t> data);

    const std::vector<uint8_t>& data() const { return data_; }
    std::vector<uint8_t> take() { return std::move(data_); }
    size_t size() const { return data_.size(); }

private:
    std::vector<uint8_t> data_;
};

// ---- Meta data -------------------------------------------------------------

// Stored data-type classes.
namespace type_class {
constexpr int32_t Simple = 0, Sized = 1, Reference2 = 2, Reference3 = 3, FixedArray = 4, Structure = 5,
                  DynamicArray6 = 6, DynamicArray7 = 7, ReferenceArray = 8, External = 10, Reference11 = 11,
                  Reference12 = 12, Alias = 13, Template = 14;
}

struct MemberEntry {
    int32_t type = 0;             // data-type index
    std::string name = "member";  // stored by format versions below 11
    int32_t word = 0;             // stored by versions below 5 and from 11 on
};

// One INTY entry. Which class-specific fields are written follows the class.
struct TypeEntry {
    int32_t index = -1;  // -1: ResourceBuilder::addType takes the next free index
    std::string name;
    uint32_t version = 1;
    int32_t typeClass = type_class::Structure;
    int32_t simpleWord = 0;
    int32_t valueSize = 0;
    std::string templateName;                   // Template
    int32_t base = -1;                          // classes 2 to 8 and 11 to 14
    int32_t dimensions = 1;                     // FixedArray
    int32_t elementCount = 0;                   // FixedArray
    std::vector<MemberEntry> members;           // Structure
    std::optional<uint32_t> storedMemberCount;  // Structure: overrides members.size()
};

// Shorthands for the common kinds of entry (index -1: assigned by addType).
TypeEntry structureType(std::string name, uint32_t version = 1, int32_t base = -1,
                        std::vector<MemberEntry> members = {});
TypeEntry simpleType(std::string name, int32_t valueSize, uint32_t version = 1);
TypeEntry sizedType(std::string name, int32_t valueSize);
// Any class that stores only a base index (references, dynamic and reference
// arrays, Alias).
TypeEntry linkType(std::string name, int32_t typeClass, int32_t base);
TypeEntry fixedArrayType(std::string name, int32_t base, int32_t elementCount);
TypeEntry templateType(std::string name, std::string templateName, int32_t base = -1);

struct ReferencedFileEntry {
    int32_t index = 0;
    uint32_t word = 0;
    std::string name;
};

struct IdentEntry {
    int32_t index = 0;
    std::string text;
};

struct ExternalTypeEntry {
    int32_t index = 0;
    std::string name;
};

struct ExternalObjectEntry {
    int32_t object = 0;
    int32_t file = 0;
    int32_t externalId = 0;
    int32_t type = 0;
    int32_t obtain = 0;  // stored from format version 9 on
};

constexpr uint32_t kCookie = 0x1234ABCD;
constexpr uint32_t kSwappedCookie = 0xCDAB3412;

struct MetaDataBlock {
    uint32_t formatVersion = 11;
    uint32_t cookie = kCookie;
    std::string metaText = "meta";
    std::string messageText = "messages";  // MSGS, from version 10 on
    uint32_t infoWord = 0;                 // from version 8 on
    std::vector<ReferencedFileEntry> files;
    std::vector<IdentEntry> idents;
    std::vector<ExternalTypeEntry> externalTypes;
    std::vector<TypeEntry> types;
    std::vector<ExternalObjectEntry> externalObjects;
    // The four INFO counts; unset: derived (list sizes, highest index + 1).
    std::optional<int32_t> fileCount, identCount, typeCount, objectCount;
    // Counts at the head of the chunks; unset: the list's size.
    std::optional<int32_t> rfilCount, idntCount, extyCount, intyCount, exobCount;
};

// The whole block from "QRVX" to the last EXOB entry.
std::vector<uint8_t> writeMetaData(const MetaDataBlock& desc);
// One INTY entry from "DTTY" on, laid out for the format version.
void writeInternalType(ByteWriter& out, const TypeEntry& type, uint32_t formatVersion);

// ---- Object chunks ---------------------------------------------------------

struct ObjectRecord {
    int32_t object = 0;
    int32_t type = 0;
    std::vector<uint8_t> body;  // object-body chunks only
};

struct ObjectChunks {
    std::vector<ObjectRecord> types;         // OBTY
    std::vector<ObjectRecord> editedTypes;   // EDTY
    std::vector<ObjectRecord> bodies;        // OBJS
    std::vector<ObjectRecord> editedBodies;  // EDOB
    // Stored record counts in the order above; unset: the list's size.
    std::array<std::optional<int32_t>, 4> counts;
};

std::vector<uint8_t> writeObjectChunks(const ObjectChunks& desc);

// ---- Texture bodies --------------------------------------------------------

// Layout versions of the standard types; the defaults are the newest layouts.
struct TypeVersions {
    uint32_t resource = 7;
    uint32_t texture = 1;
    uint32_t baseTexture = 35;
    uint32_t platformMip = 3;
    uint32_t staticTexture = 11;
    uint32_t dynamicLightStaticTexture = 1;
    uint32_t colorTexture = 3;
    uint32_t animTexture = 2;
};

enum class TextureClass { Static, DynamicLightStatic, Color, Anim };

struct TrailingPixels {
    uint16_t layoutWord = 0;  // 0 or 0x0100 mark a block; other values are only peeked
    std::vector<uint8_t> bytes;
    std::optional<int32_t> storedSize;  // overrides bytes.size()
};

// Every stored field of the four texture classes; each part writes the fields
// its version stores. Object references are object indices (-1 none; the
// colour reference uses 0 for none).
struct TextureFields {
    // CResource
    int32_t resourceWord = 0;
    int32_t extraWord = 0;
    int32_t nameIdent = 0;
    int32_t firstRef = -1, secondRef = -1, customDataRef = -1;
    // CBaseTexture
    int32_t width = 1, height = 1;
    uint32_t flags = 0;
    int32_t format = 0;
    int32_t imageCount = 1;
    int32_t legacyWord = 0;
    std::vector<uint8_t> pixels;                             // inline pixel data
    std::vector<int32_t> wordArray;                          // below version 6
    std::vector<std::array<int32_t, 3>> mips;                // version 13 and up
    std::optional<int32_t> pixelCount, wordCount, mipCount;  // override the stored counts
    int32_t textureRefA = -1, textureRefB = -1, textureRefC = -1, textureRefD = -1;
    // CStaticTexture
    int32_t staticNameIdent = 0;
    int32_t staticRefA = -1, staticRefB = -1, staticRefC = -1, staticRefD = -1;
    int32_t staticWord = 0;
    // CDynamicLightStaticTexture
    int32_t dynamicWord = 0;
    // CColorTexture
    int32_t colorRef = 0;
    // CAnimTexture
    int32_t frameCount = 1;
    // Behind the body, when the pixel data is not inline.
    std::optional<TrailingPixels> trailing;
};

void writeResourcePart(ByteWriter& out, uint32_t version, const TextureFields& desc, bool customData);
void writeBaseTexturePart(ByteWriter& out, uint32_t version, const TextureFields& desc);
void writeStaticTexturePart(ByteWriter& out, uint32_t version, const TextureFields& desc);
void writeDynamicLightStaticTexturePart(ByteWriter& out, uint32_t version, const TextureFields& desc);
void writeColorTexturePart(ByteWriter& out, uint32_t version, const TextureFields& desc);
void writeAnimTexturePart(ByteWriter& out, uint32_t version, const TextureFields& desc);
// layoutWord, i32 size, bytes.
void writePixelBlock(ByteWriter& out, const TrailingPixels& block);

// A whole body: resource part, base-texture part and the class's own parts,
// each with its version, then the trailing pixel block when it has one.
// `customData`: the CResource type has a CResourceCustomData* member.
std::vector<uint8_t> textureBody(TextureClass kind, const TypeVersions& versions, const TextureFields& desc,
                                 bool customData = false);

// ---- Whole files -----------------------------------------------------------

// Indices of the standard types (-1 for those not added).
struct StandardTypes {
    int32_t object = -1;  // CObject, root of CResource when asked for
    int32_t ident = -1;
    int32_t platformMip = -1;
    int32_t mipArray = -1;           // CStaticArray<CPlatformMip>, a dynamic array of CPlatformMip
    int32_t customDataPointer = -1;  // CResourceCustomData*
    int32_t resource = -1;
    int32_t texture = -1;
    int32_t baseTexture = -1;
    int32_t staticTexture = -1;
    int32_t dynamicLightStaticTexture = -1;
    int32_t colorTexture = -1;
    int32_t animTexture = -1;
};

struct StandardTypeOptions {
    TypeVersions versions;
    bool objectRoot = false;  // CResource derives from a CObject structure
    bool customData = false;  // CResource has a CResourceCustomData* member
};

// Builds a payload from lists that tests append to; meta and chunks stay
// public for anything the helpers do not cover. Identifier 0 is "texture",
// the name every texture body refers to by default.
class ResourceBuilder {
public:
    explicit ResourceBuilder(uint32_t formatVersion = 11);

    MetaDataBlock meta;
    ObjectChunks chunks;

    // The standard texture hierarchy with the given versions.
    const StandardTypes& addStandardTypes(const StandardTypeOptions& options = {});
    const StandardTypes& types() const { return standard_; }
    const TypeVersions& versions() const { return options_.versions; }

    int32_t addType(TypeEntry type);  // returns its index
    int32_t addIdent(std::string text);
    int32_t addReferencedFile(std::string name, uint32_t word = 0);
    int32_t addExternalType(std::string name);
    // An EXOB entry for a new object index, which it returns.
    int32_t addExternalObject(int32_t file, int32_t type, int32_t externalId = 0);
    int32_t nextObjectIndex() const { return nextObject_; }

    // A new object with a type record and a body record of the given type
    // (in EDTY and EDOB when `edited`); returns its object index.
    int32_t addObject(int32_t type, std::vector<uint8_t> body, bool edited = false);
    // A texture object of one of the standard classes.
    int32_t addTexture(TextureClass kind, const TextureFields& desc, bool edited = false);
    int32_t addStaticTexture(int32_t width, int32_t height, uint32_t flags, int32_t format,
                             std::vector<uint8_t> pixels);

    std::vector<uint8_t> payload() const;

private:
    StandardTypeOptions options_;
    StandardTypes standard_;
    int32_t nextType_ = 0;
    int32_t nextObject_ = 0;
};

// A file of the given format version with the standard texture hierarchy
// declared: what most tests start from.
ResourceBuilder standardFile(uint32_t formatVersion = 11);

// Texture fields with the dimensions, stored format code and inline pixels
// set, everything else at its default.
TextureFields textureFields(int32_t width, int32_t height, int32_t format, std::vector<uint8_t> pixels = {});

}  // namespace lumenpull::test
