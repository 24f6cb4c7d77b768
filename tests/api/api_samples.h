#pragma once

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace lumenpull::test {

// Resource files with every kind of texture the library meets, written
// into `dir` (each container kind at least once); returns their names
// relative to it. Between them: every pixel format, zlib and planes, mip
// chains either way round, cubes whole and cut short, frames, textures
// without pixels, a rejected code, legacy codes, shared-exponent HDR and
// pictures of odd sizes.
std::vector<std::string> writeApiSamples(const TempDir& dir);

}  // namespace lumenpull::test
