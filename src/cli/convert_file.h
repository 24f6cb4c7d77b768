#pragma once

#include <ostream>
#include <string>

namespace lumenpull {

class ImageOutput;

// Converts one resource file, its images going through `output`, and
// returns the outcome text that ends its report line; prints nothing.
std::string convertedOutcome(const std::string& path, bool uncompressed, bool noBig, ImageOutput& output);

// Converts one resource file and prints its one report line on `out`.
void convertFile(const std::string& path, bool uncompressed, bool noBig, std::ostream& out);

}  // namespace lumenpull
