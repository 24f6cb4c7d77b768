#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "resource/data_type.h"
#include "resource/objects.h"
#include "resource/resource_file.h"
#include "stream/stream.h"

namespace lumenpull {

// One record of the body pass, after its body was read.
struct BodyRecord {
    CObject* object = nullptr;  // may be null for a record of an External type
    const DataType* type = nullptr;

    // The texture read from the body; null for any other object, and for a
    // record of an External type, whose object lives in another file and
    // has no body here.
    CBaseTexture* texture() const;
};

// The two passes over a file's object chunks once its meta data is read:
// first one object per object-type record, made by the record type's
// texture kind (a CUnknownObject for any other type), then every body in
// file order, each read by its texture reader or measured and kept raw.
class ObjectWalk {
public:
    ObjectWalk(ResourceFile& file, Stream& stream) : file_(file), stream_(stream) {}

    // The object-type pass. Returns the number of texture objects made.
    uint64_t MakeObjects();

    // The body pass, one record at a time: reads the next body and returns
    // its record, with the stream right behind the body (where a trailing
    // pixel block may follow). Nothing after the last record.
    std::optional<BodyRecord> NextBody();
    // The same, but a texture whose pixel bytes are still empty reads them
    // into `pixelRoom` (swapped in, emptied first: its capacity serves
    // again, so the buffer of an earlier texture can be reused), and
    // `pixelRoom` gets the texture's empty vector in exchange.
    std::optional<BodyRecord> NextBody(std::vector<uint8_t>& pixelRoom);

private:
    ResourceFile& file_;
    Stream& stream_;
};

}  // namespace lumenpull
