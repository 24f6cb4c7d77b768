#pragma once

#include <string>

#include "convert/file_report.h"
#include "convert/tool_options.h"
#include "unpack/buffer_pool.h"

namespace lumenpull {

class ImageOutput;

// Puts the edited pictures below options.importFolder back into one
// resource file. Every texture's images are looked up under the names a
// conversion with the import folder as output folder would write; a texture
// whose pictures differ from what a conversion writes now is replaced, and
// when any is, the patched file goes through `output` to its mirrored place
// below the output folder, under its own file name. With listOnly nothing is
// written and each texture gets a row saying what would happen to it.
// Errors of the file end up in the report, never outside; the file is then
// not written.
FileReport importedReport(const std::string& path, const std::string& input, const ToolOptions& options,
                          ImageOutput& output, BufferPool& buffers);

}  // namespace lumenpull
