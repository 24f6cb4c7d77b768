#pragma once

#include <string>

#include "convert/file_report.h"
#include "cli/run_totals.h"

namespace lumenpull {

// One file's report as one JSON object on one line (JSON Lines), newline
// included; a listing adds its textures as "list". Texts that are not valid
// UTF-8 have each stray byte replaced by U+FFFD; the path is then also given
// byte for byte as "file_hex", and the written names, when one of them is
// not valid, as "written_hex". A failed file's "error" comes with its
// "kind".
// Which optional fields a run's objects carry: the listing, "not_chosen"
// (and "chosen" in the listing) with a selection, "same_as" with --dedup.
struct JsonFields {
    bool listing = false;
    bool selection = false;
    bool sameAs = false;
};

std::string jsonReport(const FileReport& report, const JsonFields& fields);

// {"summary": {"files": …, "textures": …, "images": …, "failed": …}}
std::string jsonSummary(const RunTotals& totals, bool selection = false);

// {"error": text}, for a run-level line such as "No input files found".
std::string jsonError(const std::string& text);

// {"notice": text}, for a line of discovery's own about an entry it passes
// over.
std::string jsonNotice(const std::string& text);

}  // namespace lumenpull
