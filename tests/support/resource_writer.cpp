#include "support/resource_writer.h"

#include <algorithm>

namespace lumenpull::test {

ByteWriter& ByteWriter::u8(uint8_t value) {
    data_.push_back(value);
    return *this;
}

ByteWriter& ByteWriter::u16(uint16_t value) {
    data_.push_back(static_cast<uint8_t>(value));
    data_.push_back(static_cast<uint8_t>(value >> 8));
    return *this;
}

ByteWriter& ByteWriter::u32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) data_.push_back(static_cast<uint8_t>(value >> shift));
    return *this;
}

ByteWriter& ByteWriter::i32(int32_t value) { return u32(static_cast<uint32_t>(value)); }

ByteWriter& ByteWriter::words(std::initializer_list<int32_t> values) {
    for (int32_t value : values) i32(value);
    return *this;
}

ByteWriter& ByteWriter::tag(std::string_view fourLetters) {
    for (size_t i = 0; i < 4; ++i) data_.push_back(i < fourLetters.size() ? static_cast<uint8_t>(fourLetters[i]) : 0);
    return *this;
}

ByteWriter& ByteWriter::str(std::string_view text) {
    u32(static_cast<uint32_t>(text.size()));
    data_.insert(data_.end(), text.begin(), text.end());
    return *this;
}

ByteWriter& ByteWriter::bytes(std::span<const uint8_t> data) {
    data_.insert(data_.end(), data.begin(), data.end());
    return *this;
}

// ---- Meta data -------------------------------------------------------------

namespace {

template <typename Entry>
int32_t HighestIndexPlusOne(const std::vector<Entry>& list) {
    int32_t count = 0;
    for (const Entry& entry : list) count = std::max(count, entry.index + 1);
    return count;
}

int32_t DerivedTypeCount(const MetaDataBlock& desc) {
    return std::max(HighestIndexPlusOne(desc.types), HighestIndexPlusOne(desc.externalTypes));
}

int32_t DerivedObjectCount(const MetaDataBlock& desc) {
    int32_t count = 0;
    for (const ExternalObjectEntry& entry : desc.externalObjects) count = std::max(count, entry.object + 1);
    return count;
}

template <typename List>
int32_t Size(const List& list) {
    return static_cast<int32_t>(list.size());
}

}  // namespace

TypeEntry structureType(std::string name, uint32_t version, int32_t base, std::vector<MemberEntry> members) {
    TypeEntry type;
    type.name = std::move(name);
    type.version = version;
    type.typeClass = type_class::Structure;
    type.base = base;
    type.members = std::move(members);
    return type;
}

TypeEntry simpleType(std::string name, int32_t valueSize, uint32_t version) {
    TypeEntry type;
    type.name = std::move(name);
    type.version = version;
    type.typeClass = type_class::Simple;
    type.valueSize = valueSize;
    return type;
}

TypeEntry sizedType(std::string name, int32_t valueSize) {
    TypeEntry type = simpleType(std::move(name), valueSize);
    type.typeClass = type_class::Sized;
    return type;
}

TypeEntry linkType(std::string name, int32_t typeClass, int32_t base) {
    TypeEntry type;
    type.name = std::move(name);
    type.typeClass = typeClass;
    type.base = base;
    return type;
}

TypeEntry fixedArrayType(std::string name, int32_t base, int32_t elementCount) {
    TypeEntry type = linkType(std::move(name), type_class::FixedArray, base);
    type.elementCount = elementCount;
    return type;
}

TypeEntry templateType(std::string name, std::string templateName, int32_t base) {
    TypeEntry type = linkType(std::move(name), type_class::Template, base);
    type.templateName = std::move(templateName);
    return type;
}

void writeInternalType(ByteWriter& out, const TypeEntry& type, uint32_t formatVersion) {
    out.tag("DTTY").i32(type.index).str(type.name).u32(type.version).i32(type.typeClass);
    switch (type.typeClass) {
        case type_class::Simple: out.i32(type.simpleWord).i32(type.valueSize); return;
        case type_class::Sized: out.i32(type.valueSize); return;
        default: break;
    }
    if (type.typeClass == type_class::Template) out.str(type.templateName);
    out.i32(type.base);
    if (type.typeClass == type_class::FixedArray) {
        out.tag("ADIM").i32(type.dimensions).i32(type.elementCount);
    } else if (type.typeClass == type_class::Structure) {
        out.tag("STMB").u32(type.storedMemberCount.value_or(static_cast<uint32_t>(type.members.size())));
        for (const MemberEntry& member : type.members) {
            if (formatVersion >= 11) {
                out.i32(member.word);
            } else if (formatVersion >= 5) {
                out.str(member.name);
            } else {
                out.i32(member.word).str(member.name);
            }
            out.i32(member.type);
        }
    }
}

std::vector<uint8_t> writeMetaData(const MetaDataBlock& desc) {
    ByteWriter out;
    out.tag("QRVX").tag("META").u32(desc.cookie).u32(desc.formatVersion).str(desc.metaText);
    if (desc.formatVersion >= 10) out.tag("MSGS").str(desc.messageText);
    out.tag("INFO");
    if (desc.formatVersion >= 8) out.u32(desc.infoWord);
    out.i32(desc.fileCount.value_or(Size(desc.files)));
    out.i32(desc.identCount.value_or(Size(desc.idents)));
    out.i32(desc.typeCount.value_or(DerivedTypeCount(desc)));
    out.i32(desc.objectCount.value_or(DerivedObjectCount(desc)));

    out.tag("RFIL").i32(desc.rfilCount.value_or(Size(desc.files)));
    for (const ReferencedFileEntry& file : desc.files) out.i32(file.index).u32(file.word).str(file.name);
    out.tag("IDNT").i32(desc.idntCount.value_or(Size(desc.idents)));
    for (const IdentEntry& ident : desc.idents) out.i32(ident.index).str(ident.text);
    out.tag("EXTY").i32(desc.extyCount.value_or(Size(desc.externalTypes)));
    for (const ExternalTypeEntry& type : desc.externalTypes) out.i32(type.index).str(type.name);
    out.tag("INTY").i32(desc.intyCount.value_or(Size(desc.types)));
    for (const TypeEntry& type : desc.types) writeInternalType(out, type, desc.formatVersion);
    out.tag("EXOB").i32(desc.exobCount.value_or(Size(desc.externalObjects)));
    for (const ExternalObjectEntry& object : desc.externalObjects) {
        out.i32(object.object).i32(object.file);
        if (desc.formatVersion >= 9) out.i32(object.obtain);
        out.i32(object.externalId).i32(object.type);
    }
    return out.take();
}

// ---- Object chunks ---------------------------------------------------------

std::vector<uint8_t> writeObjectChunks(const ObjectChunks& desc) {
    ByteWriter out;
    const std::vector<ObjectRecord>* lists[4] = {&desc.types, &desc.editedTypes, &desc.bodies, &desc.editedBodies};
    const char* tags[4] = {"OBTY", "EDTY", "OBJS", "EDOB"};
    for (int chunk = 0; chunk < 4; ++chunk) {
        out.tag(tags[chunk]).i32(desc.counts[chunk].value_or(Size(*lists[chunk])));
        for (const ObjectRecord& record : *lists[chunk]) {
            out.i32(record.object).i32(record.type);
            if (chunk >= 2) out.bytes(record.body);
        }
    }
    return out.take();
}

// ---- Texture bodies --------------------------------------------------------

void writeResourcePart(ByteWriter& out, uint32_t v, const TextureFields& desc, bool customData) {
    if (v >= 7) out.i32(desc.firstRef);
    out.i32(desc.resourceWord);
    if (v >= 4 && v <= 7) out.i32(desc.extraWord);
    out.i32(desc.nameIdent);
    if (v <= 6) out.i32(desc.firstRef);
    if (v >= 5) out.i32(desc.secondRef);
    if (customData) out.i32(desc.customDataRef);
}

void writeBaseTexturePart(ByteWriter& out, uint32_t v, const TextureFields& desc) {
    out.i32(desc.width).i32(desc.height).u32(desc.flags);
    if (v <= 5) {
        out.i32(desc.imageCount).i32(desc.format).i32(desc.legacyWord);
    } else {
        out.i32(desc.format);
        if (v <= 8) out.i32(desc.imageCount);
    }
    out.tag("STAR").i32(desc.pixelCount.value_or(Size(desc.pixels))).bytes(desc.pixels);
    if (v <= 5) {
        out.tag("STAR").i32(desc.wordCount.value_or(Size(desc.wordArray)));
        for (int32_t word : desc.wordArray) out.i32(word);
    }
    out.words({11, 12, 13});
    if (v >= 26) {
        if (v >= 35) out.i32(350);
        out.words({261, 262, 263});
    }
    if (v >= 13) {
        out.i32(130);
        if (v >= 35) out.i32(351);
        out.tag("STAR").i32(desc.mipCount.value_or(Size(desc.mips)));
        for (const auto& mip : desc.mips) out.words({mip[0], mip[1], mip[2]});
    }
    if (v >= 14) out.i32(desc.textureRefA);
    if (v >= 26) out.i32(desc.textureRefB);
    if (v >= 35) out.i32(desc.textureRefC).i32(desc.textureRefD).i32(352);
}

void writeStaticTexturePart(ByteWriter& out, uint32_t v, const TextureFields& desc) {
    if (v <= 2) return;
    out.i32(desc.staticNameIdent);
    if (v <= 5) {
        for (uint8_t i = 0; i < 16; ++i) out.u8(static_cast<uint8_t>(0xA0 + i));
        if (v == 3) {
            for (uint8_t i = 0; i < 8; ++i) out.u8(static_cast<uint8_t>(0xB0 + i));
        }
        return;
    }
    if (v <= 10) {
        out.i32(desc.staticRefA);
        return;
    }
    out.i32(desc.staticRefB).i32(desc.staticRefC).i32(desc.staticRefD).i32(desc.staticWord);
}

void writeDynamicLightStaticTexturePart(ByteWriter& out, uint32_t, const TextureFields& desc) {
    out.i32(desc.dynamicWord);
}

void writeColorTexturePart(ByteWriter& out, uint32_t v, const TextureFields& desc) {
    out.i32(desc.colorRef);
    out.words({1, 2, 3, 4, 5, 6, 7, 8, 9});
    if (v >= 3) out.words({10, 11, 12, 13});
}

void writeAnimTexturePart(ByteWriter& out, uint32_t, const TextureFields& desc) {
    out.i32(desc.frameCount).i32(0x414E494D);
}

void writePixelBlock(ByteWriter& out, const TrailingPixels& block) {
    out.u16(block.layoutWord).i32(block.storedSize.value_or(Size(block.bytes))).bytes(block.bytes);
}

std::vector<uint8_t> textureBody(TextureClass kind, const TypeVersions& versions, const TextureFields& desc,
                                 bool customData) {
    ByteWriter out;
    writeResourcePart(out, versions.resource, desc, customData);
    writeBaseTexturePart(out, versions.baseTexture, desc);
    switch (kind) {
        case TextureClass::Static: writeStaticTexturePart(out, versions.staticTexture, desc); break;
        case TextureClass::DynamicLightStatic:
            writeStaticTexturePart(out, versions.staticTexture, desc);
            writeDynamicLightStaticTexturePart(out, versions.dynamicLightStaticTexture, desc);
            break;
        case TextureClass::Color: writeColorTexturePart(out, versions.colorTexture, desc); break;
        case TextureClass::Anim: writeAnimTexturePart(out, versions.animTexture, desc); break;
    }
    if (desc.trailing) writePixelBlock(out, *desc.trailing);
    return out.take();
}

// ---- Whole files -----------------------------------------------------------

ResourceBuilder::ResourceBuilder(uint32_t formatVersion) {
    meta.formatVersion = formatVersion;
    addIdent("texture");
}

int32_t ResourceBuilder::addType(TypeEntry type) {
    if (type.index < 0) type.index = nextType_;
    nextType_ = std::max(nextType_, type.index + 1);
    meta.types.push_back(std::move(type));
    return meta.types.back().index;
}

int32_t ResourceBuilder::addIdent(std::string text) {
    const int32_t index = Size(meta.idents);
    meta.idents.push_back({index, std::move(text)});
    return index;
}

int32_t ResourceBuilder::addReferencedFile(std::string name, uint32_t word) {
    const int32_t index = Size(meta.files);
    meta.files.push_back({index, word, std::move(name)});
    return index;
}

int32_t ResourceBuilder::addExternalType(std::string name) {
    const int32_t index = nextType_++;
    meta.externalTypes.push_back({index, std::move(name)});
    return index;
}

int32_t ResourceBuilder::addExternalObject(int32_t file, int32_t type, int32_t externalId) {
    const int32_t index = nextObject_++;
    meta.externalObjects.push_back({index, file, externalId, type, 0});
    return index;
}

const StandardTypes& ResourceBuilder::addStandardTypes(const StandardTypeOptions& options) {
    options_ = options;
    const TypeVersions& v = options.versions;
    StandardTypes& t = standard_;
    using namespace type_class;
    if (options.objectRoot) t.object = addType(structureType("CObject"));
    t.ident = addType(simpleType("IDENT", 4));
    t.platformMip =
        addType(structureType("CPlatformMip", v.platformMip, -1, {{t.ident, "a"}, {t.ident, "b"}, {t.ident, "c"}}));
    t.mipArray = addType(linkType("CStaticArray<CPlatformMip>", DynamicArray7, t.platformMip));
    TypeEntry resource = structureType("CResource", v.resource, t.object, {{t.ident, "name"}});
    if (options.customData) {
        const int32_t customData = addType(structureType("CResourceCustomData"));
        t.customDataPointer = addType(linkType("CResourceCustomData*", Reference2, customData));
        resource.members.push_back({t.customDataPointer, "customData"});
    }
    t.resource = addType(resource);
    t.texture = addType(structureType("CTexture", v.texture, t.resource));
    t.baseTexture = addType(structureType("CBaseTexture", v.baseTexture, t.texture, {{t.mipArray, "mips"}}));
    t.staticTexture = addType(structureType("CStaticTexture", v.staticTexture, t.baseTexture));
    t.dynamicLightStaticTexture =
        addType(structureType("CDynamicLightStaticTexture", v.dynamicLightStaticTexture, t.staticTexture));
    t.colorTexture = addType(structureType("CColorTexture", v.colorTexture, t.baseTexture));
    t.animTexture = addType(structureType("CAnimTexture", v.animTexture, t.baseTexture));
    return standard_;
}

int32_t ResourceBuilder::addObject(int32_t type, std::vector<uint8_t> body, bool edited) {
    const int32_t index = nextObject_++;
    (edited ? chunks.editedTypes : chunks.types).push_back({index, type, {}});
    (edited ? chunks.editedBodies : chunks.bodies).push_back({index, type, std::move(body)});
    return index;
}

int32_t ResourceBuilder::addTexture(TextureClass kind, const TextureFields& desc, bool edited) {
    int32_t type = standard_.staticTexture;
    if (kind == TextureClass::DynamicLightStatic) type = standard_.dynamicLightStaticTexture;
    if (kind == TextureClass::Color) type = standard_.colorTexture;
    if (kind == TextureClass::Anim) type = standard_.animTexture;
    return addObject(type, textureBody(kind, options_.versions, desc, options_.customData), edited);
}

int32_t ResourceBuilder::addStaticTexture(int32_t width, int32_t height, uint32_t flags, int32_t format,
                                          std::vector<uint8_t> pixels) {
    TextureFields desc;
    desc.width = width;
    desc.height = height;
    desc.flags = flags;
    desc.format = format;
    desc.pixels = std::move(pixels);
    return addTexture(TextureClass::Static, desc);
}

std::vector<uint8_t> ResourceBuilder::payload() const {
    MetaDataBlock withCounts = meta;
    if (!withCounts.objectCount) withCounts.objectCount = std::max(nextObject_, DerivedObjectCount(meta));
    std::vector<uint8_t> bytes = writeMetaData(withCounts);
    const std::vector<uint8_t> objects = writeObjectChunks(chunks);
    bytes.insert(bytes.end(), objects.begin(), objects.end());
    return bytes;
}

ResourceBuilder standardFile(uint32_t formatVersion) {
    ResourceBuilder file(formatVersion);
    file.addStandardTypes();
    return file;
}

TextureFields textureFields(int32_t width, int32_t height, int32_t format, std::vector<uint8_t> pixels) {
    TextureFields fields;
    fields.width = width;
    fields.height = height;
    fields.format = format;
    fields.pixels = std::move(pixels);
    return fields;
}

}  // namespace lumenpull::test
