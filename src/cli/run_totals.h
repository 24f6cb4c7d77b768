#pragma once

#include <cstdint>
#include <string>

#include "convert/file_report.h"

namespace lumenpull {

// The exit code of a --strict run that failed.
constexpr int kStrictFailure = 2;

// What a whole run came to, for --strict.
struct RunTotals {
    uint64_t files = 0;
    uint64_t textures = 0;
    int64_t images = 0;
    uint64_t failed = 0;
    uint64_t notChosen = 0;

    void add(const FileReport& report);

    // "N file(s), T texture(s), I image(s), F failed", with ", K not chosen"
    // before "F failed" when the selection passed over any texture.
    std::string summaryLine() const;

    // kStrictFailure when a file failed or no file was found, 0 otherwise.
    int strictExitCode() const;
};

}  // namespace lumenpull
