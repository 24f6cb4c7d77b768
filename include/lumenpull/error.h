#pragma once

#include <stdexcept>

namespace lumenpull {

// What every failure of lumenpull throws: a file that is not a resource
// file, one cut short or damaged, a texture that cannot be decoded, an image
// that cannot be written. what() is the one-line message the command-line
// tool prints for it. Standard exceptions (std::bad_alloc above all) are not
// wrapped: they travel as they are.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace lumenpull
