#include "cli/run_totals.h"

namespace lumenpull {

void RunTotals::add(const FileReport& report) {
    ++files;
    textures += report.textures;
    images += report.images;
    notChosen += report.notChosen;
    if (report.failed) ++failed;
}

std::string RunTotals::summaryLine() const {
    return std::to_string(files) + " file(s), " + std::to_string(textures) + " texture(s), " + std::to_string(images) +
           " image(s), " + (notChosen != 0 ? std::to_string(notChosen) + " not chosen, " : std::string()) +
           std::to_string(failed) + " failed";
}

int RunTotals::strictExitCode() const { return failed != 0 || files == 0 ? kStrictFailure : 0; }

}  // namespace lumenpull
