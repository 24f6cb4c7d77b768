#pragma once

#include <string>

#include "cli/file_report.h"

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

}  // namespace lumenpull
