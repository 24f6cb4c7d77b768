#include <string>

#include "resource/base_chain.h"
#include "resource/read_word.h"
#include "resource/resource_file.h"
#include "resource/table_errors.h"
#include "stream/tag.h"
#include "lumenpull/error.h"

namespace lumenpull {

namespace {

constexpr uint32_t kCookie = 0x1234ABCD;
constexpr uint32_t kSwappedCookie = 0xCDAB3412;

std::string WithIndex(const char* message, int32_t index) { return message + std::to_string(index); }

bool IsIndexIn(int32_t index, int32_t count) { return index >= 0 && index < count; }

}  // namespace

void ResourceFile::ReadMetaData(Stream& stream, ReadDepth depth) {
    Reset();
    stream.ExpectTag(MakeTag("QRVX"));
    stream.ExpectTag(MakeTag("META"));
    cookie_ = ReadUint32(stream);
    // Both byte orders of the cookie are accepted; values stay little-endian.
    if (cookie_ != kCookie && cookie_ != kSwappedCookie) throw Error("Invalid endianness cookie");
    formatVersion_ = ReadUint32(stream);
    ReadString(stream, metaText_);
    if (formatVersion_ >= 10) {
        stream.ExpectTag(MakeTag("MSGS"));
        ReadString(stream, messageText_);
    }
    stream.ExpectTag(MakeTag("INFO"));
    if (formatVersion_ >= 8) infoWord_ = ReadUint32(stream);
    const int32_t fileCount = ReadInt32(stream);
    const int32_t identCount = ReadInt32(stream);
    const int32_t typeCount = ReadInt32(stream);
    const int32_t objectCount = ReadInt32(stream);
    if (depth == ReadDepth::HeaderOnly) return;

    referencedFiles_.Resize(CheckedTableCount(fileCount));
    idents_.Resize(CheckedTableCount(identCount));
    dataTypes_.Resize(CheckedTableCount(typeCount));
    if (depth != ReadDepth::TypesOnly) objects_.Resize(CheckedTableCount(objectCount));

    ReadReferencedFiles(stream, fileCount);
    ReadIdents(stream, identCount);
    ReadExternalTypes(stream);
    ReadInternalTypes(stream);
    CopyAliasSizes();
    if (depth == ReadDepth::TypesOnly) return;

    ReadExternalObjects(stream);
    ResetCursor();
}

void ResourceFile::ReadReferencedFiles(Stream& stream, int32_t fileCount) {
    stream.ExpectTag(MakeTag("RFIL"));
    const int32_t count = ReadInt32(stream);
    if (count != fileCount) throw Error("Inconsistent number of referenced files");
    for (int32_t i = 0; i < count; ++i) {
        const int32_t index = ReadInt32(stream);
        if (!IsIndexIn(index, count)) throw Error(WithIndex("Invalid referenced file index ", index));
        ReferencedFile& file = referencedFiles_.Put(index, std::make_unique<ReferencedFile>());
        file.word = ReadUint32(stream);
        ReadString(stream, file.fileName);
    }
}

void ResourceFile::ReadIdents(Stream& stream, int32_t identCount) {
    stream.ExpectTag(MakeTag("IDNT"));
    const int32_t count = ReadInt32(stream);
    if (count != identCount) throw Error("Inconsistent number of IDENTs");
    for (int32_t i = 0; i < count; ++i) {
        const int32_t index = ReadInt32(stream);
        if (!IsIndexIn(index, count)) throw Error(WithIndex("Invalid IDENT index ", index));
        ReadString(stream, idents_.FindOrMake(index));
    }
}

DataType& ResourceFile::TypeSlot(int32_t index, const char* message) {
    if (!IsIndexIn(index, dataTypes_.Size())) throw Error(WithIndex(message, index));
    DataType& type = dataTypes_.FindOrMake(index);
    type.index = index;
    return type;
}

void ResourceFile::ReadExternalTypes(Stream& stream) {
    stream.ExpectTag(MakeTag("EXTY"));
    const int32_t count = ReadInt32(stream);
    for (int32_t i = 0; i < count; ++i) {
        DataType& type = TypeSlot(ReadInt32(stream), "Invalid data type index ");
        // An external type's layout lives in another file: it keeps version 0.
        type.typeClass = DataTypeClass::External;
        type.base = nullptr;
        type.declared = true;
        ++typeEntries_;
        ReadString(stream, type.name);
    }
}

void ResourceFile::ReadInternalTypes(Stream& stream) {
    stream.ExpectTag(MakeTag("INTY"));
    const int32_t count = ReadInt32(stream);
    CheckedTableCount(count);
    // Grown entry by entry: the count alone never sizes anything.
    for (int32_t i = 0; i < count; ++i) ReadInternalType(stream);
}

void ResourceFile::ReadInternalType(Stream& stream) {
    stream.ExpectTag(MakeTag("DTTY"));
    DataType& type = TypeSlot(ReadInt32(stream), "Invalid data type index ");
    type.base = nullptr;
    internalTypes_.push_back(&type);
    ++typeEntries_;
    ReadString(stream, type.name);
    type.version = ReadUint32(stream);
    const int32_t storedClass = ReadInt32(stream);
    switch (storedClass) {
        case 0:
            type.simpleWord = ReadInt32(stream);
            type.valueSize = ReadInt32(stream);
            break;
        case 1: type.valueSize = ReadInt32(stream); break;
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 11:
        case 12:
        case 13:
        case 14: {
            if (storedClass == 14) ReadString(stream, type.templateName);
            const int32_t baseIndex = ReadInt32(stream);
            if (baseIndex != -1) type.base = &TypeSlot(baseIndex, "Invalid data type index ");
            if (storedClass == 4) {
                stream.ExpectTag(MakeTag("ADIM"));
                if (ReadInt32(stream) != 1) throw Error("Only one dimension arrays supported");
                type.elementCount = ReadInt32(stream);
            } else if (storedClass == 5) {
                stream.ExpectTag(MakeTag("STMB"));
                ReadMembers(stream, type);
            }
            break;
        }
        default: throw Error("Unexpected data type class");
    }
    type.typeClass = static_cast<DataTypeClass>(storedClass);
    type.declared = true;
}

void ResourceFile::ReadMembers(Stream& stream, DataType& type) {
    const uint32_t count = ReadUint32(stream);
    CheckedTableCount(count, kMaxMemberCount);
    // Grown member by member, so memory follows the members actually stored.
    type.members.clear();
    for (uint32_t i = 0; i < count; ++i) {
        DataTypeMember& member = type.members.emplace_back();
        member.word = -1;
        if (formatVersion_ >= 11) {
            member.word = ReadInt32(stream);
        } else if (formatVersion_ >= 5) {
            ReadString(stream, member.name);
        } else {
            member.word = ReadInt32(stream);
            ReadString(stream, member.name);
        }
        member.type = &TypeSlot(ReadInt32(stream), "Invalid data type index ");
    }
}

// An alias of a simple type takes the simple type's value size.
void ResourceFile::CopyAliasSizes() {
    for (DataType* type : internalTypes_) {
        const DataType* reached = type;
        BaseChain chain(*type);
        while (reached->typeClass == DataTypeClass::Alias) {
            const DataType* alias = reached;
            reached = chain.Next();
            if (reached == nullptr) throw Error("Missing base of " + DataTypeLabel(*alias));
        }
        if (reached->typeClass == DataTypeClass::Simple && reached->declared) type->valueSize = reached->valueSize;
    }
}

void ResourceFile::ReadExternalObjects(Stream& stream) {
    stream.ExpectTag(MakeTag("EXOB"));
    const int32_t count = ReadInt32(stream);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t objectIndex = ReadInt32(stream);
        if (!IsIndexIn(objectIndex, objects_.Size())) throw Error(WithIndex("Invalid object index ", objectIndex));
        const int32_t fileIndex = ReadInt32(stream);
        if (!IsIndexIn(fileIndex, referencedFiles_.Size())) {
            throw Error(WithIndex("Invalid referenced file index ", fileIndex));
        }
        int32_t obtainWord = 0;
        if (formatVersion_ >= 9) {
            obtainWord = ReadInt32(stream);
            if (obtainWord != 0) throw Error("Obtain type is non zero");
        }
        const int32_t externalId = ReadInt32(stream);
        const int32_t typeIndex = ReadInt32(stream);
        if (!IsIndexIn(typeIndex, dataTypes_.Size())) throw Error(WithIndex("Invalid object type index ", typeIndex));
        auto object = std::make_unique<CExternalObject>();
        object->referencedFile = referencedFiles_.Find(fileIndex);
        object->externalId = externalId;
        object->obtainWord = obtainWord;
        objects_.Put(objectIndex, std::move(object));
    }
}

}  // namespace lumenpull
