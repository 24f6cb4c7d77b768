#include "resource/data_type.h"

#include <cstring>

#include "resource/base_chain.h"

namespace lumenpull {

std::string DataTypeLabel(const DataType& type) { return "data type " + std::to_string(type.index); }

bool DataType::IsKindOf(const char* kind) const {
    if (name == kind) return true;
    BaseChain chain(*this);
    while (const DataType* type = chain.Next()) {
        if (type->name == kind) return true;
    }
    return false;
}

const DataType* DataType::FindAncestor(const char* kind) const {
    BaseChain chain(*this);
    while (const DataType* type = chain.Next()) {
        if (type->name == kind) return type;
    }
    return nullptr;
}

const DataType* DataType::FindMemberType(const char* typeName) const {
    for (const DataTypeMember& member : members) {
        if (member.type != nullptr && member.type->name == typeName) return member.type;
    }
    return nullptr;
}

}  // namespace lumenpull
