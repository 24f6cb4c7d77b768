#include "resource/resource_file.h"

#include "resource/table_errors.h"
#include "lumenpull/error.h"

namespace lumenpull {

ResourceFile::~ResourceFile() { Reset(); }

void ResourceFile::Reset() {
    // Objects first: they point at referenced files, nothing points back.
    objects_.Clear();
    referencedFiles_.Clear();
    idents_.Clear();
    internalTypes_.clear();
    typeEntries_ = 0;
    dataTypes_.Clear();
    cookie_ = 0;
    formatVersion_ = 0;
    metaText_.Clear();
    messageText_.Clear();
    infoWord_ = 0;
    ResetCursor();
}

const ReferencedFile* ResourceFile::ReferencedFileAt(int32_t index) const {
    CheckSubscript(index, referencedFiles_.Size());
    return referencedFiles_.Find(index);
}

const CountedString& ResourceFile::Ident(int32_t index) const {
    CheckSubscript(index, idents_.Size());
    const CountedString* ident = idents_.Find(index);
    return ident != nullptr ? *ident : emptyIdent_;
}

const DataType& ResourceFile::DataTypeAt(int32_t index) const {
    CheckSubscript(index, dataTypes_.Size());
    const DataType* type = dataTypes_.Find(index);
    if (type == nullptr || !type->declared) throw Error("Undeclared data type " + std::to_string(index));
    return *type;
}

CObject* ResourceFile::ObjectAt(int32_t index) const {
    CheckSubscript(index, objects_.Size());
    return objects_.Find(index);
}

}  // namespace lumenpull
