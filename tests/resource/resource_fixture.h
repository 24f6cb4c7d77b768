#pragma once

// Reading payloads built by the resource writer the way the converter does.

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "resource/resource_file.h"
#include "stream/stream.h"
#include "support/resource_writer.h"
#include "support/temp_dir.h"

namespace lumenpull::test {

// A payload written to a plain file and opened for reading.
struct OpenedPayload {
    explicit OpenedPayload(const std::vector<uint8_t>& payload) {
        dir.writeFile("file.rsc", payload);
        stream.Open(dir / "file.rsc", "r");
    }
    TempDir dir;
    Stream stream;
    ResourceFile file;
};

// The text of whatever `action` throws: a message text or a standard
// exception's text; empty when it throws nothing.
template <typename Action>
std::string errorOf(Action&& action) {
    try {
        action();
    } catch (const std::string& text) {
        return text;
    } catch (const std::exception& error) {
        return error.what();
    }
    return {};
}

// One body read by the second pass, in file order.
struct ReadBody {
    CObject* object;
    const DataType* type;
};

// Both passes as the converter runs them: objects made by kind and
// registered, then every body read. Returns the bodies in file order.
inline std::vector<ReadBody> walkObjects(ResourceFile& file, Stream& stream) {
    for (const DataType* type = file.NextObjectType(stream); !file.TypesDone(); type = file.NextObjectType(stream)) {
        file.RegisterObject(makeObject(textureKindOf(*type)));
    }
    std::vector<ReadBody> bodies;
    const DataType* type = nullptr;
    for (CObject* object = file.NextObject(stream, type); !file.ObjectsDone(); object = file.NextObject(stream, type)) {
        file.ReadObjectBody(stream, *type, object);
        bodies.push_back({object, type});
    }
    return bodies;
}

// Reads meta data and both passes of a whole payload.
struct ReadPayload : OpenedPayload {
    explicit ReadPayload(const std::vector<uint8_t>& payload) : OpenedPayload(payload) {
        file.ReadMetaData(stream, ReadDepth::Full);
        bodies = walkObjects(file, stream);
    }
    std::vector<ReadBody> bodies;

    template <typename T>
    T& body(size_t index) const {
        auto* object = dynamic_cast<T*>(bodies.at(index).object);
        if (object == nullptr) throw std::logic_error("body of another class");
        return *object;
    }
};

// The error a whole read of the payload ends with, empty when it succeeds.
inline std::string readError(const std::vector<uint8_t>& payload) {
    return errorOf([&] { ReadPayload read(payload); });
}

inline std::string metaDataError(const std::vector<uint8_t>& payload, ReadDepth depth = ReadDepth::Full) {
    OpenedPayload opened(payload);
    return errorOf([&] { opened.file.ReadMetaData(opened.stream, depth); });
}

}  // namespace lumenpull::test
