#pragma once

// Reading payloads built by the resource writer the way the converter does.

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "resource/object_walk.h"
#include "resource/resource_file.h"
#include "stream/stream.h"
#include "support/resource_writer.h"
#include "support/temp_dir.h"
#include "lumenpull/error.h"

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
    } catch (const lumenpull::Error& caught) {
        const std::string text = caught.what();
        return text;
    } catch (const std::exception& error) {
        return error.what();
    }
    return {};
}

// Both passes as the converter runs them. Returns every body record in file
// order.
inline std::vector<BodyRecord> walkObjects(ResourceFile& file, Stream& stream) {
    ObjectWalk walk(file, stream);
    walk.MakeObjects();
    std::vector<BodyRecord> bodies;
    while (const auto body = walk.NextBody()) bodies.push_back(*body);
    return bodies;
}

// Reads meta data and both passes of a whole payload.
struct ReadPayload : OpenedPayload {
    explicit ReadPayload(const std::vector<uint8_t>& payload) : OpenedPayload(payload) {
        file.ReadMetaData(stream, ReadDepth::Full);
        bodies = walkObjects(file, stream);
    }
    std::vector<BodyRecord> bodies;

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
