#pragma once

#include <string>

#include "convert/file_report.h"
#include "convert/tool_options.h"
#include "unpack/buffer_pool.h"

namespace lumenpull {

class ImageOutput;

// Converts one resource file, its images going through `output`, or with
// listOnly looks at every texture as the conversion does and writes
// nothing; prints nothing. Errors of the file end up in the report, never
// outside. The images `output` puts in place are not in it yet: see
// addPlacedImages. `input` is the command-line input discovery found it from
// (the path itself for a file input); with an output folder the images'
// place below it follows the path's place below the input's parent, or with
// --root below the root. A path outside the root (or the root itself) is
// refused, unopened, with "not below --root <root as given>". The textures'
// large buffers come from `buffers` and go back there, for the next file to
// reuse. With options.importFolder the file is imported instead (see
// importedReport).
FileReport convertedReport(const std::string& path, const std::string& input, const ToolOptions& options,
                           ImageOutput& output, BufferPool& buffers);

// Puts the images `output` keeps back in place, then adds every file it has
// put in place, and their images, to the report. An image that cannot be
// put in place ends the report with its error, as it does when images are
// put in place as they are written.
void addPlacedImages(FileReport& report, ImageOutput& output);

}  // namespace lumenpull
