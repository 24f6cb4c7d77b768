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

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& text) {
    std::fprintf(stderr, "floor_convert: %s\n", text.c_str());
    std::exit(1);
}

std::vector<unsigned char> readWhole(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) fail("cannot open " + path);
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) fail("cannot read " + path);
    std::fclose(file);
    return bytes;
}

void runJob(const std::string& line, std::vector<unsigned char>& gathered, std::vector<unsigned char>& inflated) {
    std::istringstream fields(line);
    std::string input, rawSize, ranges;
    std::getline(fields, input, '\t');
    std::getline(fields, rawSize, '\t');
    std::getline(fields, ranges, '\t');
    const std::vector<unsigned char> file = readWhole(input);

    // The stream's bytes: in place when it is one range, gathered otherwise.
    const unsigned char* stream = nullptr;
    size_t streamLength = 0;
    std::istringstream pieces(ranges);
    std::string piece;
    gathered.clear();
    int count = 0;
    while (std::getline(pieces, piece, ',')) {
        const size_t plus = piece.find('+');
        const size_t offset = std::stoull(piece.substr(0, plus));
        const size_t length = std::stoull(piece.substr(plus + 1));
        if (offset + length > file.size()) fail("range outside " + input);
        if (count++ == 0) {
            stream = file.data() + offset;
            streamLength = length;
        } else {
            if (count == 2) gathered.assign(stream, stream + streamLength);
            gathered.insert(gathered.end(), file.data() + offset, file.data() + offset + length);
        }
    }
    if (count > 1) {
        stream = gathered.data();
        streamLength = gathered.size();
    }

    inflated.resize(std::stoull(rawSize));
    uLongf produced = static_cast<uLongf>(inflated.size());
    if (uncompress(inflated.data(), &produced, stream, static_cast<uLong>(streamLength)) != Z_OK) {
        fail("cannot inflate " + input);
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
            std::fwrite(inflated.data(), 1, chunk, out);
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
    std::ifstream jobs(argv[1]);
    if (!jobs) fail(std::string("cannot read ") + argv[1]);
    std::vector<unsigned char> gathered, inflated;
    std::string line;
    while (std::getline(jobs, line)) {
        if (!line.empty()) runJob(line, gathered, inflated);
    }
    return 0;
}
