// The floor of the end-to-end benchmark: the least work a converter can do
// for a file. For each job it reads the whole input file, inflates its zlib
// stream with zlib's uncompress (from the file byte ranges that hold it) and
// writes output files of the given sizes. run_end_to_end.py times it beside
// the real converter on the same files.
//
//     floor_convert <jobs file>
//
// One job per line, tab-separated: input path, inflated size, byte ranges of
// the stream ("offset+length" joined by commas), then one "path:size" per
// output file.

#include <zlib.h>

#include "cli/platform_memory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& text) {
    std::fprintf(stderr, "floor_convert: %s\n", text.c_str());
    std::exit(1);
}

// A buffer that is never cleared: every byte the floor uses is written first
// (by fread or by zlib), so zero-filling it would be work a converter need not do.
class Bytes {
public:
    unsigned char* reserve(size_t size) {
        if (size > capacity_) {
            data_ = std::make_unique_for_overwrite<unsigned char[]>(size);
            capacity_ = size;
        }
        return data_.get();
    }

private:
    std::unique_ptr<unsigned char[]> data_;
    size_t capacity_ = 0;
};

size_t readWhole(const std::string& path, Bytes& into) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) fail("cannot open " + path);
    std::fseek(file, 0, SEEK_END);
    const auto size = static_cast<size_t>(std::ftell(file));
    std::fseek(file, 0, SEEK_SET);
    if (std::fread(into.reserve(size), 1, size, file) != size) fail("cannot read " + path);
    std::fclose(file);
    return size;
}

void runJob(const std::string& line, Bytes& input, Bytes& inflated) {
    std::istringstream fields(line);
    std::string inputPath, rawSize, ranges;
    std::getline(fields, inputPath, '\t');
    std::getline(fields, rawSize, '\t');
    std::getline(fields, ranges, '\t');
    const size_t fileSize = readWhole(inputPath, input);
    unsigned char* const file = input.reserve(fileSize);

    // The stream's bytes: its ranges moved together in place, after the first.
    unsigned char* stream = nullptr;
    size_t streamLength = 0;
    std::istringstream pieces(ranges);
    std::string piece;
    size_t previousEnd = 0;
    while (std::getline(pieces, piece, ',')) {
        const size_t plus = piece.find('+');
        const size_t offset = std::stoull(piece.substr(0, plus));
        const size_t length = std::stoull(piece.substr(plus + 1));
        if (offset < previousEnd || offset + length > fileSize) fail("bad range in " + inputPath);
        previousEnd = offset + length;
        if (stream == nullptr) stream = file + offset;
        std::memmove(stream + streamLength, file + offset, length);
        streamLength += length;
    }
    if (stream == nullptr) fail("no stream in " + inputPath);

    const size_t inflatedSize = std::stoull(rawSize);
    unsigned char* const inflatedBytes = inflated.reserve(inflatedSize);
    uLongf produced = static_cast<uLongf>(inflatedSize);
    if (uncompress(inflatedBytes, &produced, stream, static_cast<uLong>(streamLength)) != Z_OK) {
        fail("cannot inflate " + inputPath);
    }

    std::string output;
    while (std::getline(fields, output, '\t')) {
        const size_t colon = output.rfind(':');
        const std::string path = output.substr(0, colon);
        size_t left = std::stoull(output.substr(colon + 1));
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr) fail("cannot create " + path);
        while (left > 0) {
            const size_t chunk = std::min(left, static_cast<size_t>(produced));
            std::fwrite(inflatedBytes, 1, chunk, out);
            left -= chunk;
        }
        std::fclose(out);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: floor_convert <jobs file>\n");
        return 2;
    }
    // The converter keeps freed memory for its next texture; so does the
    // floor, or its page faults would flatter the ratio.
    lumenpull::keepFreedMemoryForReuse();
    std::ifstream jobs(argv[1]);
    if (!jobs) fail(std::string("cannot read ") + argv[1]);
    Bytes input;
    Bytes inflated;
    std::string line;
    while (std::getline(jobs, line)) {
        if (!line.empty()) runJob(line, input, inflated);
    }
    return 0;
}
