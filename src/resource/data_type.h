#pragma once

#include <cstdint>
#include <vector>

#include "resource/data_type_class.h"
#include "stream/counted_string.h"
#include "stream/stream.h"

namespace lumenpull {

class DataType;

struct DataTypeMember {
    int32_t word = -1;
    CountedString name;              // only stored by some format versions
    const DataType* type = nullptr;  // non-owning, into the data-type table
};

// One entry of a file's data-type table. A slot that neither the external
// nor the internal type list declares keeps `declared` false, an empty name
// and the class Unused9; lookups that hand out types refuse such a slot.
class DataType {
public:
    CountedString name;
    uint32_t version = 0;
    DataTypeClass typeClass = DataTypeClass::Unused9;
    int32_t valueSize = 0;
    int32_t simpleWord = 0;
    int32_t elementCount = 0;
    DataType* base = nullptr;  // non-owning
    std::vector<DataTypeMember> members;
    CountedString templateName;
    int32_t index = -1;  // slot in the data-type table, for messages
    bool declared = false;

    // The type's own name equals `kind`, or one of its bases' names does.
    bool IsKindOf(const char* kind) const;
    // The first type named `kind` among the bases, nearest first; the type
    // itself is not considered. Null when there is none.
    const DataType* FindAncestor(const char* kind) const;
    // The type of the first member whose type is named `typeName`, or null.
    const DataType* FindMemberType(const char* typeName) const;
    // The byte size of the stored value of this type at the stream's position;
    // the stream is back at that position afterwards.
    // Values nested deeper than `nestingLimit` are refused: only a circle of
    // types that measure each other in place, or a hostile file, gets there.
    int32_t StoredSize(Stream& stream, size_t nestingLimit = kDefaultNestingLimit) const;

    static constexpr size_t kDefaultNestingLimit = size_t{1} << 16;
};

// Message texts naming a data type by its table index.
std::string DataTypeLabel(const DataType& type);

}  // namespace lumenpull
