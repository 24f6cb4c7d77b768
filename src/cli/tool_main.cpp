#include "cli/tool_main.h"

#include <functional>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>

#include "cli/argument_scan.h"
#include "cli/background_count.h"
#include "convert/convert_file.h"
#include "cli/job_runner.h"
#include "cli/json_report.h"
#include "cli/platform_files.h"
#include "cli/platform_memory.h"
#include "cli/plain_report.h"
#include "cli/printable_text.h"
#include "cli/progress_display.h"
#include "cli/run_totals.h"
#include "cli/terminal.h"
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
    return options.json ? jsonReport(report, {options.listOnly, options.selection.active(), options.dedup})
                        : plainReportEnd(report);
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

// What every file of a run shares beside the options: where its report goes,
// the progress display (when there is one) and the images already written
// (with --dedup). All of it is used on the thread that prints the report.
struct RunOutput {
    std::ostream& out;
    ProgressDisplay* progress = nullptr;
    DuplicateImages* duplicates = nullptr;

    // Report text, with the progress display kept clear of it; `done` is the
    // report of a file (or of a path that could not be looked at) the text
    // ends.
    void print(const std::string& text, const FileReport* done = nullptr) const {
        if (progress) progress->beforeReport();
        out << text << std::flush;
        if (progress) progress->afterReport(done);
    }

    void prepare(ImageOutput& output) const {
        if (duplicates) output.findDuplicatesIn(*duplicates);
    }
};

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
bool reportInTurn(const ToolOptions& options, RunTotals& totals, const RunOutput& run) {
    std::ostream& out = run.out;
    DiscoveryText notices([&](std::string text) { run.print(discoveryText(text, options)); });
    std::ostream noticesOut(&notices);
    const ConvertFileFn reportFile = [&](const std::string& path, const std::string& input,
                                         const ToolOptions& fileOptions, std::ostream&) {
        const auto beginLine = [&] {
            if (run.progress) run.progress->beforeReport();
            out << reportStart(path, fileOptions) << std::flush;
        };
        std::optional<InterruptedLineEnd> lineEnd;  // a plain line is open until its end is flushed
        if (fileOptions.json) {
            beginLine();
        } else {
            lineEnd.emplace(beginLine);
        }
        ImageOutput output(path);
        run.prepare(output);
        BufferPool buffers;
        FileReport report = convertedReport(path, input, fileOptions, output, buffers);
        addPlacedImages(report, output);
        out << reportEnd(report, fileOptions) << std::flush;
        if (run.progress) run.progress->afterReport(&report);
        totals.add(report);
    };
    const PathFailureFn reportUnreadable = [&](const std::string& path, const std::string& reason) {
        const FileReport report = unreadablePathReport(path, reason);
        run.print(reportStart(path, options) + reportEnd(report, options), &report);
        totals.add(report);
    };
    return processInputs(options, reportFile, options.json ? noticesOut : out,
                         reportsUnreadablePaths(options) ? reportUnreadable : PathFailureFn{});
}

// One file on a worker: converted (or listed) with its images kept back,
// then, in its turn, the images put in place, the whole report printed in
// one write and counted. The options, totals and output outlive the runner,
// which finishes every piece before it goes. The worker's buffers serve the
// conversion and stay with the worker.
JobRunner::Work reportOf(const std::string& path, const std::string& input, const ToolOptions& options,
                         RunTotals& totals, const RunOutput& run) {
    return [path, input, &options, &totals, &run](BufferPool& buffers) -> JobRunner::Finish {
        auto output = std::make_shared<ImageOutput>(path, ImageOutput::Placing::Deferred);
        run.prepare(*output);
        FileReport report = convertedReport(path, input, options, *output, buffers);
        return [report = std::move(report), output, &options, &totals, &run]() mutable {
            addPlacedImages(report, *output);
            run.print(reportStart(report.path, options) + reportEnd(report, options), &report);
            totals.add(report);
        };
    };
}

bool reportInJobs(const ToolOptions& options, RunTotals& totals, const RunOutput& run,
                  const std::function<void(uint64_t)>& walkOver) {
    returnLargeBlocksToTheSystem();
    JobRunner runner(options.jobs, kWindowPerJob * options.jobs);
    uint64_t lines = 0;  // files and unreadable paths added
    DiscoveryText notices([&](std::string text) {
        runner.addFinished([text = discoveryText(text, options), &run] { run.print(text); });
    });
    std::ostream noticesOut(&notices);
    const ConvertFileFn addFile = [&](const std::string& path, const std::string& input, const ToolOptions& fileOptions,
                                      std::ostream&) {
        ++lines;
        runner.add(reportOf(path, input, fileOptions, totals, run));
    };
    // In its place among the files' reports.
    const PathFailureFn addUnreadable = [&](const std::string& path, const std::string& reason) {
        ++lines;
        runner.addFinished([report = unreadablePathReport(path, reason), &options, &totals, &run] {
            run.print(reportStart(report.path, options) + reportEnd(report, options), &report);
            totals.add(report);
        });
    };
    const bool anyFound =
        processInputs(options, addFile, noticesOut, reportsUnreadablePaths(options) ? addUnreadable : PathFailureFn{});
    walkOver(lines);
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

// The progress display the keys and standard error ask for: on a terminal
// unless --no-progress, elsewhere only with --progress.
std::unique_ptr<ProgressDisplay> progressDisplay(const ToolOptions& options, std::ostream* progressOut) {
    if (progressOut == nullptr) return nullptr;
    const bool terminal = standardErrorIsTerminal();
    if (!options.progress.value_or(terminal)) return nullptr;
    return std::make_unique<ProgressDisplay>(*progressOut,
                                             terminal ? ProgressDisplay::Mode::InPlace : ProgressDisplay::Mode::Lines,
                                             terminal && standardOutputIsTerminal());
}

}  // namespace

int runTool(std::span<const char* const> arguments, std::ostream& out) { return runTool(arguments, out, nullptr); }

int runTool(std::span<const char* const> arguments, std::ostream& out, std::ostream* progressOut) {
    const ArgumentScan scan = scanArguments(arguments);
    if (const auto code = stopBeforeRun(scan, out)) return *code;
    const ToolOptions& options = scan.options;
    if (const auto code = stopForOutputFolder(options, out)) return *code;

    std::unique_ptr<ProgressDisplay> progress = progressDisplay(options, progressOut);
    // The total comes from a walk of its own, or from the run's walk if
    // that is over first.
    std::optional<BackgroundCount> count;
    if (progress)
        count.emplace(options, reportsUnreadablePaths(options), [&](uint64_t found) { progress->setFound(found); });
    const auto walkOver = [&](uint64_t lines) {
        if (!count) return;
        count.reset();
        progress->setFound(lines);
    };
    std::optional<DuplicateImages> duplicates;
    if (options.dedup && !options.listOnly) duplicates.emplace();
    const RunOutput run{out, progress.get(), duplicates ? &*duplicates : nullptr};

    // The totals are counted as each report is printed, in discovery order,
    // on this thread: the same for any number of jobs.
    RunTotals totals;
    const bool anyFound =
        options.jobs > 1 ? reportInJobs(options, totals, run, walkOver) : reportInTurn(options, totals, run);
    count.reset();
    if (progress) progress->setFound(totals.files);  // the walk is over by now, whoever counted it
    progress.reset();                                // erased before the last lines
    if (!anyFound) {
        out << (options.json ? jsonError(kNothingFound) : std::string(kNothingFound) + "\n") << std::flush;
    }
    if (!options.strict) return 0;
    out << (options.json ? jsonSummary(totals, options.selection.active()) : totals.summaryLine() + "\n") << std::flush;
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
