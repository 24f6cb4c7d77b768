#include <string>

#include "resource/read_word.h"
#include "resource/resource_file.h"
#include "resource/table_errors.h"
#include "stream/tag.h"
#include "lumenpull/error.h"

namespace lumenpull {

void ResourceFile::ResetCursor() {
    chunkCount_ = 0;
    recordIndex_ = 0;
    chunkState_ = 0;
    typesDone_ = false;
    currentObject_ = 0;
    hasCurrentObject_ = false;
}

bool ResourceFile::AdvanceCursor(Stream& stream, uint32_t first, uint32_t second, bool typesPass) {
    while (chunkState_ < 3) {
        if (chunkCount_ != 0 && recordIndex_ < chunkCount_) return true;
        ++chunkState_;
        chunkCount_ = 0;
        recordIndex_ = 0;
        if (chunkState_ == 1) {
            stream.ExpectTag(first);
        } else if (chunkState_ == 2) {
            stream.ExpectTag(second);
        } else {
            if (typesPass) {
                // The body pass walks the same states again.
                typesDone_ = true;
                currentObject_ = 0;
                hasCurrentObject_ = false;
                chunkState_ = 0;
            }
            return false;
        }
        chunkCount_ = ReadInt32(stream);
    }
    return false;
}

const DataType* ResourceFile::NextObjectType(Stream& stream) {
    hasCurrentObject_ = false;
    if (!AdvanceCursor(stream, MakeTag("OBTY"), MakeTag("EDTY"), true)) return nullptr;
    const int32_t objectIndex = ReadInt32(stream);
    const int32_t typeIndex = ReadInt32(stream);
    ++recordIndex_;
    CheckSubscript(typeIndex, dataTypes_.Size());
    // The object made for this record goes into this slot.
    if (!objects_.Holds(objectIndex)) throw Error("Invalid object index " + std::to_string(objectIndex));
    const DataType& type = DataTypeAt(typeIndex);
    currentObject_ = objectIndex;
    hasCurrentObject_ = true;
    return &type;
}

void ResourceFile::RegisterObject(std::unique_ptr<CObject> object) {
    if (!hasCurrentObject_) throw Error("No object record to register an object for");
    objects_.Put(currentObject_, std::move(object));
}

CObject* ResourceFile::NextObject(Stream& stream, const DataType*& type) {
    type = nullptr;
    if (!AdvanceCursor(stream, MakeTag("OBJS"), MakeTag("EDOB"), false)) return nullptr;
    const int32_t objectIndex = ReadInt32(stream);
    const int32_t typeIndex = ReadInt32(stream);
    ++recordIndex_;
    CheckSubscript(typeIndex, dataTypes_.Size());
    CObject* object = ObjectAt(objectIndex);
    const DataType& bodyType = DataTypeAt(typeIndex);
    if (object == nullptr && bodyType.typeClass != DataTypeClass::External) {
        throw Error("Object " + std::to_string(objectIndex) + " has a body but was never made");
    }
    type = &bodyType;
    return object;
}

}  // namespace lumenpull
