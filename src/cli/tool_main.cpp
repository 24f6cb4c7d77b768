#include "cli/tool_main.h"

#include <functional>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>

#include "cli/argument_scan.h"
#include "convert/convert_file.h"
#include "cli/job_runner.h"
#include "cli/json_report.h"
#include "cli/platform_files.h"
#include "cli/platform_memory.h"
#include "cli/plain_report.h"
#include "cli/printable_text.h"
#include "cli/run_totals.h"
#include "output/output_file.h"
#include "output/platform_output.h"

namespace lumenpull {
namespace {

constexpr const char* kNothingFound = "No input files found";

// Files added to the runner and not yet printed, per job: room for the
// other jobs to go on while one file takes long, without discovery running
// far ahead. A file waiting for its turn holds only its report and the
// names of its finished images. Sixteen rather than four: with many small
// files the adding thread then sleeps and wakes less often (the tree of
// 10,000 small files: 1.39 -> 1.49 x with two jobs on a RAM file system).
constexpr std::size_t kWindowPerJob = 16;

// What discovery itself prints (a notice about an entry it passes over),
// taken a flush at a time and handed to `sink`: with several jobs it goes
// into the runner's order among the files' reports, with --json it becomes
// JSON objects.
class DiscoveryText : public std::streambuf {
public:
    explicit DiscoveryText(std::function<void(std::string)> sink) : sink_(std::move(sink)) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) text_.push_back(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        text_.append(s, static_cast<std::size_t>(n));
        return n;
    }
    int sync() override {
        if (!text_.empty()) {
            sink_(std::move(text_));
            text_.clear();
        }
        return 0;
    }

private:
    std::function<void(std::string)> sink_;
    std::string text_;
};

// Discovery's text as the report form asks: as it is, or each line a JSON object.
std::string discoveryText(const std::string& text, const ToolOptions& options) {
    if (!options.json) return text;
    std::string objects;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        objects += jsonNotice(text.substr(start, end - start));
    }
    if (start < text.size()) objects += jsonNotice(text.substr(start));
    return objects;
}

// The part of a file's report printed before the file is opened when the
// files are converted one after the other: a plain line is begun then, so
// that a file the tool never comes back from is named. A JSON object is
// printed whole at the end.
std::string reportStart(const std::string& path, const ToolOptions& options) {
    return options.json ? std::string() : plainReportStart(path);
}

// The rest of the report, once the file is done.
std::string reportEnd(const FileReport& report, const ToolOptions& options) {
    return options.json ? jsonReport(report, options.listOnly) : plainReportEnd(report);
}

// A missing input or an unreadable folder is a failure a script must see,
// so the modes made for scripts report it; the plain report stays as it was.
bool reportsUnreadablePaths(const ToolOptions& options) { return options.strict || options.json; }

// What discovery could not look at, reported and counted like a file that
// failed.
FileReport unreadablePathReport(const std::string& path, const std::string& reason) {
    FileReport report;
    report.path = path;
    report.outcome = reason;
    report.failed = true;
    report.failureKind = FailureKind::Io;
    return report;
}

bool processInputs(const ToolOptions& options, const ConvertFileFn& convert, std::ostream& discoveryOut,
                   const PathFailureFn& failure = {}) {
    bool anyFound = false;
    for (const std::string& input : options.inputs) {
        if (processInput(input, options, convert, discoveryOut, failure)) anyFound = true;
    }
    discoveryOut.flush();
    return anyFound;
}

// One file after the other, each image put in place as it is written.
bool reportInTurn(const ToolOptions& options, RunTotals& totals, std::ostream& out) {
    DiscoveryText notices([&](std::string text) { out << discoveryText(text, options) << std::flush; });
    std::ostream noticesOut(&notices);
    const ConvertFileFn reportFile = [&](const std::string& path, const std::string& input,
                                         const ToolOptions& fileOptions, std::ostream&) {
        const auto beginLine = [&] { out << reportStart(path, fileOptions) << std::flush; };
        std::optional<InterruptedLineEnd> lineEnd;  // a plain line is open until its end is flushed
        if (fileOptions.json) {
            beginLine();
        } else {
            lineEnd.emplace(beginLine);
        }
        ImageOutput output(path);
        BufferPool buffers;
        FileReport report = convertedReport(path, input, fileOptions, output, buffers);
        addPlacedImages(report, output);
        out << reportEnd(report, fileOptions) << std::flush;
        totals.add(report);
    };
    const PathFailureFn reportUnreadable = [&](const std::string& path, const std::string& reason) {
        const FileReport report = unreadablePathReport(path, reason);
        out << reportStart(path, options) + reportEnd(report, options) << std::flush;
        totals.add(report);
    };
    return processInputs(options, reportFile, options.json ? noticesOut : out,
                         reportsUnreadablePaths(options) ? reportUnreadable : PathFailureFn{});
}

// One file on a worker: converted (or listed) with its images kept back,
// then, in its turn, the images put in place, the whole report printed in
// one write and counted. The options, totals and stream outlive the runner,
// which finishes every piece before it goes. The worker's buffers serve the
// conversion and stay with the worker.
JobRunner::Work reportOf(const std::string& path, const std::string& input, const ToolOptions& options,
                         RunTotals& totals, std::ostream& out) {
    return [path, input, &options, &totals, &out](BufferPool& buffers) -> JobRunner::Finish {
        auto output = std::make_shared<ImageOutput>(path, ImageOutput::Placing::Deferred);
        FileReport report = convertedReport(path, input, options, *output, buffers);
        return [report = std::move(report), output, &options, &totals, &out]() mutable {
            addPlacedImages(report, *output);
            out << reportStart(report.path, options) + reportEnd(report, options) << std::flush;
            totals.add(report);
        };
    };
}

bool reportInJobs(const ToolOptions& options, RunTotals& totals, std::ostream& out) {
    returnLargeBlocksToTheSystem();
    JobRunner runner(options.jobs, kWindowPerJob * options.jobs);
    DiscoveryText notices([&](std::string text) {
        runner.addFinished([text = discoveryText(text, options), &out] { out << text << std::flush; });
    });
    std::ostream noticesOut(&notices);
    const ConvertFileFn addFile = [&](const std::string& path, const std::string& input, const ToolOptions& fileOptions,
                                      std::ostream&) { runner.add(reportOf(path, input, fileOptions, totals, out)); };
    // In its place among the files' reports.
    const PathFailureFn addUnreadable = [&](const std::string& path, const std::string& reason) {
        runner.addFinished([report = unreadablePathReport(path, reason), &options, &totals, &out] {
            out << reportStart(report.path, options) + reportEnd(report, options) << std::flush;
            totals.add(report);
        });
    };
    const bool anyFound =
        processInputs(options, addFile, noticesOut, reportsUnreadablePaths(options) ? addUnreadable : PathFailureFn{});
    runner.finishAll();
    return anyFound;
}

// Prints the usage text or the argument error and gives the exit code when
// there is nothing to run.
std::optional<int> stopBeforeRun(const ArgumentScan& scan, std::ostream& out) {
    switch (scan.outcome) {
        case ArgumentScan::Outcome::Usage: out << usageText() << std::endl; return 0;
        case ArgumentScan::Outcome::Version: out << versionText() << std::endl; return 0;
        case ArgumentScan::Outcome::Error: out << scan.message << std::endl; return 1;
        case ArgumentScan::Outcome::Run: break;
    }
    return std::nullopt;
}

// An output folder images cannot go to fails every file the same way, so
// it is an argument error, told once before any work. A listing writes
// nothing and needs no folder.
std::optional<int> stopForOutputFolder(const ToolOptions& options, std::ostream& out) {
    if (!options.outputFolder || options.listOnly) return std::nullopt;
    const std::optional<std::string> problem = outputFolderProblem(*options.outputFolder);
    if (!problem) return std::nullopt;
    out << "Cannot use output folder '" << printable(*options.outputFolder) << "': " << *problem << std::endl;
    return 1;
}

}  // namespace

int runTool(std::span<const char* const> arguments, std::ostream& out) {
    const ArgumentScan scan = scanArguments(arguments);
    if (const auto code = stopBeforeRun(scan, out)) return *code;
    const ToolOptions& options = scan.options;
    if (const auto code = stopForOutputFolder(options, out)) return *code;

    // The totals are counted as each report is printed, in discovery order,
    // on this thread: the same for any number of jobs.
    RunTotals totals;
    const bool anyFound = options.jobs > 1 ? reportInJobs(options, totals, out) : reportInTurn(options, totals, out);
    if (!anyFound) {
        out << (options.json ? jsonError(kNothingFound) : std::string(kNothingFound) + "\n") << std::flush;
    }
    if (!options.strict) return 0;
    out << (options.json ? jsonSummary(totals) : totals.summaryLine() + "\n") << std::flush;
    // A report that did not reach its reader (a full disk, a closed file)
    // cannot vouch for the run: its lines, failures among them, are lost.
    if (!out) return kStrictFailure;
    return totals.strictExitCode();
}

int runTool(std::span<const char* const> arguments, const ConvertFileFn& convert, std::ostream& out) {
    const ArgumentScan scan = scanArguments(arguments);
    if (const auto code = stopBeforeRun(scan, out)) return *code;
    if (!processInputs(scan.options, convert, out)) out << kNothingFound << std::endl;
    return 0;
}

}  // namespace lumenpull
