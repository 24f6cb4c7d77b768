#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "resource/data_type.h"
#include "resource/objects.h"
#include "resource/referenced_file.h"
#include "resource/sparse_table.h"
#include "resource/texture_kind.h"
#include "stream/counted_string.h"
#include "stream/stream.h"

namespace lumenpull {

// How far ReadMetaData reads.
enum class ReadDepth : int { HeaderOnly = 0, TypesOnly = 1, Full = 2 };

// The per-file context: the tables read from the meta data, the objects made
// for the file, and the cursor over the object chunks. It owns every record
// and object; everything else refers to them without owning.
//
// Tables are sized by counts from the file, but a slot takes memory only when
// the file fills it, so no count can make the reader allocate more than the
// file's own contents justify.
class ResourceFile {
public:
    ResourceFile() = default;
    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;
    ~ResourceFile();

    // Reads the meta-data block from the stream's position; see ReadDepth.
    void ReadMetaData(Stream& stream, ReadDepth depth);
    // Deletes every record and object and empties every table.
    void Reset();

    uint32_t FormatVersion() const { return formatVersion_; }
    uint32_t Cookie() const { return cookie_; }
    uint32_t InfoWord() const { return infoWord_; }
    const CountedString& MetaText() const { return metaText_; }
    const CountedString& MessageText() const { return messageText_; }

    // Checked lookups: an index outside the table throws std::out_of_range
    // "invalid vector subscript".
    int32_t ReferencedFileCount() const { return referencedFiles_.Size(); }
    const ReferencedFile* ReferencedFileAt(int32_t index) const;  // null for an unfilled slot
    int32_t IdentCount() const { return idents_.Size(); }
    const CountedString& Ident(int32_t index) const;  // empty for an unfilled slot
    int32_t DataTypeCount() const { return dataTypes_.Size(); }
    // Also refuses a slot that no type list declared ("Undeclared data type N").
    const DataType& DataTypeAt(int32_t index) const;
    int32_t ObjectCount() const { return objects_.Size(); }
    CObject* ObjectAt(int32_t index) const;  // null for an empty slot
    const std::vector<DataType*>& InternalTypes() const { return internalTypes_; }

    // Object-type pass: the type of the next object-type record, or null once
    // both type chunks are walked (TypesDone is then true).
    const DataType* NextObjectType(Stream& stream);
    bool TypesDone() const { return typesDone_; }
    // Takes a new object for the record NextObjectType returned last.
    void RegisterObject(std::unique_ptr<CObject> object);
    // Body pass: the object of the next body record, its data type in `type`;
    // the stream is then at the body, which the caller consumes completely.
    // Null with ObjectsDone true at the end. The object of a record whose type
    // is External may be null: such a record has no body.
    CObject* NextObject(Stream& stream, const DataType*& type);
    bool ObjectsDone() const { return typesDone_ && chunkState_ == 3; }

    // Body readers. Each reads its base parts first, each part with the
    // version of its own data type, and leaves the stream after the body.
    void ReadResource(Stream& stream, const DataType& resourceType, CResource& object);
    void ReadBaseTexture(Stream& stream, const DataType& baseTextureType, CBaseTexture& object);
    void ReadStaticTexture(Stream& stream, const DataType& type, CStaticTexture& object);
    void ReadDynamicLightStaticTexture(Stream& stream, const DataType& type, CDynamicLightStaticTexture& object);
    void ReadColorTexture(Stream& stream, const DataType& type, CColorTexture& object);
    void ReadAnimTexture(Stream& stream, const DataType& type, CAnimTexture& object);

    // Reads a body by kind into an object that must have been made for that
    // kind (makeObject); None reads the body raw into a CUnknownObject.
    void ReadTextureBody(Stream& stream, const DataType& type, CObject& object, TextureKind kind);
    // Measures the body with StoredSize and keeps it as raw bytes. Nesting is
    // allowed as deep as the file declares types (at least the default).
    void ReadRawBody(Stream& stream, const DataType& type, CUnknownObject& object);
    // The whole body step of the second pass: nothing for an External type,
    // otherwise ReadTextureBody with the type's kind.
    void ReadObjectBody(Stream& stream, const DataType& type, CObject* object);

private:
    void ReadReferencedFiles(Stream& stream, int32_t fileCount);
    void ReadIdents(Stream& stream, int32_t identCount);
    void ReadExternalTypes(Stream& stream);
    void ReadInternalTypes(Stream& stream);
    void ReadInternalType(Stream& stream);
    void ReadMembers(Stream& stream, DataType& type);
    void CopyAliasSizes();
    void ReadExternalObjects(Stream& stream);
    DataType& TypeSlot(int32_t index, const char* message);

    // Moves the cursor to the next record of the two chunks tagged `first` and
    // `second`; false when both are exhausted.
    bool AdvanceCursor(Stream& stream, uint32_t first, uint32_t second, bool typesPass);
    void ResetCursor();
    CObject* ReadObjectRef(Stream& stream);
    const CountedString& ReadIdentRef(Stream& stream);

    SparseTable<ReferencedFile> referencedFiles_;
    SparseTable<CountedString> idents_;
    SparseTable<DataType> dataTypes_;
    SparseTable<CObject> objects_;

    int32_t chunkCount_ = 0;
    int32_t recordIndex_ = 0;
    uint8_t chunkState_ = 0;
    bool typesDone_ = false;
    int32_t currentObject_ = 0;
    bool hasCurrentObject_ = false;

    std::vector<DataType*> internalTypes_;
    size_t typeEntries_ = 0;  // EXTY and INTY entries read; bounds legal nesting
    uint32_t cookie_ = 0;
    uint32_t formatVersion_ = 0;
    CountedString metaText_;
    CountedString messageText_;
    uint32_t infoWord_ = 0;
    CountedString emptyIdent_;
};

}  // namespace lumenpull
