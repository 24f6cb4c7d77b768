// Any payload, read as a plain file, goes through ReadMetaData at the depth
// the first byte chooses and, at full depth, through both chunk passes: one
// object per object-type record (made by the kind tests) and every body read
// by its texture reader or measured and kept raw. Errors must be the texts or
// standard exceptions the driver prints; anything else, a crash, a hang or a
// large allocation is a finding.
//
// Input: one byte (depth: its value mod 3), then the payload.

#include <exception>
#include <memory>

#include "fuzz_support.h"
#include "resource/object_walk.h"
#include "resource/resource_file.h"
#include "stream/stream.h"
#include "lumenpull/error.h"

namespace lumenpull::fuzz {
namespace {

void readAll(Stream& stream, ReadDepth depth) {
    ResourceFile file;
    file.ReadMetaData(stream, depth);
    if (depth != ReadDepth::Full) return;
    ObjectWalk walk(file, stream);
    walk.MakeObjects();
    while (const auto body = walk.NextBody()) {
        FUZZ_CHECK(body->type != nullptr, "every body record has a type");
    }
}

}  // namespace
}  // namespace lumenpull::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lumenpull;
    using namespace lumenpull::fuzz;
    if (size == 0) return 0;
    const auto depth = static_cast<ReadDepth>(data[0] % 3);
    const std::string path = scratch().file("payload.bin");
    writeBytes(path, std::span<const uint8_t>(data + 1, size - 1));
    Stream stream;
    stream.Open(path, "r");
    try {
        readAll(stream, depth);
    } catch (const lumenpull::Error&) {
        // the file's one-line error
    } catch (const std::exception&) {
        // a standard error the driver prints by its text
    }
    return 0;
}
