#pragma once

#include <ostream>
#include <string>

#include "convert/file_report.h"
#include "convert/tool_options.h"

namespace lumenpull {

// The report of one file for people: "path: " and the outcome on one line,
// then, for a listing, one tab-indented line of tab-separated columns per
// texture. Control bytes in any printed text are escaped.
std::string plainReport(const FileReport& report);

// The same in two pieces: what is printed before the file is opened, and
// the rest once it is done.
std::string plainReportStart(const std::string& path);
std::string plainReportEnd(const FileReport& report);

// One texture's listing line, without its newline.
std::string plainTextureRow(const TextureRow& row);

// Converts one resource file and prints its one report line on `out`.
void convertFile(const std::string& path, const std::string& input, const ToolOptions& options, std::ostream& out);

}  // namespace lumenpull
