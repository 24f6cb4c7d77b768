// Writes the library tests' sample resource files into a folder, for the
// Python module's tests: every pixel format, container kind and packing.
//
//   python_test_samples <folder>

#include <cstdio>
#include <filesystem>
#include <string>

#include "api/api_samples.h"
#include "support/temp_dir.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: python_test_samples <folder>\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const lumenpull::test::TempDir dir;
    const fs::path target = argv[1];
    for (const std::string& name : lumenpull::test::writeApiSamples(dir)) {
        fs::create_directories((target / name).parent_path());
        fs::copy_file(dir.path() / name, target / name, fs::copy_options::overwrite_existing);
    }
    return 0;
}
