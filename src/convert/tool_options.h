#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "convert/output_types.h"
#include "convert/root_folder.h"
#include "convert/texture_selection.h"

namespace lumenpull {

// The parsed command line; built once by the argument scan, read-only after.
struct ToolOptions {
    std::vector<std::string> inputs;                // non-key arguments, in order, unchanged
    std::set<std::string> formats{".tex", ".rsc"};  // accepted extensions, dot included
    bool recursive = false;                         // -r
    bool uncompressed = false;                      // -u
    bool noBig = false;                             // --nobig
    unsigned jobs = 1;                              // -j: files converted at once (0 already made the core count)
    std::optional<std::string> outputFolder;        // -o: images go below it, mirroring the inputs
    std::optional<std::string> importFolder;        // --import: edited images below it go back into the files
    std::optional<RootFolder> root;                 // --root: with -o, mirror paths below it instead
    ImageTypes types;                               // -t
    bool listOnly = false;                          // -l
    bool json = false;                              // --json
    bool strict = false;                            // --strict
    TextureSelection selection;                     // --name, --only, --min-size
    bool normalZ = false;                           // --normal-z
    bool dedup = false;                             // --dedup
    std::optional<bool> progress;  // --progress, --no-progress; unset: when standard error is a terminal
};

}  // namespace lumenpull
