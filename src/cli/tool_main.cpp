#include "cli/tool_main.h"

#include <memory>
#include <streambuf>
#include <string>

#include "cli/argument_scan.h"
#include "cli/convert_file.h"
#include "cli/job_runner.h"
#include "image/output_file.h"

namespace lumenpull {
namespace {

// Files added to the runner and not yet printed, per job: room for the
// other jobs to go on while one file takes long, without discovery running
// far ahead. A file waiting for its turn holds only its line and the names
// of its finished images.
constexpr std::size_t kWindowPerJob = 4;

// What discovery itself prints goes into the runner's order too: each line
// is printed in its turn among the files' lines.
class OrderedLines : public std::streambuf {
public:
    OrderedLines(JobRunner& runner, std::ostream& out) : runner_(runner), out_(out) {}

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
            runner_.addFinished([text = std::move(text_), &out = out_] { out << text << std::flush; });
            text_.clear();
        }
        return 0;
    }

private:
    JobRunner& runner_;
    std::ostream& out_;
    std::string text_;
};

// One file on a worker: converted with its images kept back, then, in its
// turn, the images put in place and the whole line printed in one write.
// An image that cannot be put in place ends the line with its error, as it
// does when images are put in place as they are written.
// The options outlive the runner, which finishes every piece before it goes.
JobRunner::Work conversionOf(const std::string& path, const std::string& input, const ToolOptions& options,
                             std::ostream& out) {
    return [path, input, &options, &out]() -> JobRunner::Finish {
        auto output = std::make_shared<ImageOutput>(path, ImageOutput::Commit::Deferred);
        std::string outcome = convertedOutcome(path, input, options, *output);
        return [path, outcome = std::move(outcome), output, &out]() mutable {
            try {
                output->commitFinished();
            } catch (const std::string& text) {
                outcome = text;
            } catch (const std::exception& error) {
                outcome = error.what();
            }
            out << path + ": " + outcome + "\n" << std::flush;
        };
    };
}

bool convertInJobs(const ToolOptions& options, std::ostream& out) {
    JobRunner runner(options.jobs, kWindowPerJob * options.jobs);
    OrderedLines discoveryLines(runner, out);
    std::ostream discoveryOut(&discoveryLines);
    const ConvertFileFn addFile = [&](const std::string& path, const std::string& input,
                                      const ToolOptions& fileOptions, std::ostream&) {
        runner.add(conversionOf(path, input, fileOptions, out));
    };
    bool anyConverted = false;
    for (const std::string& input : options.inputs) {
        if (processInput(input, options, addFile, discoveryOut)) anyConverted = true;
    }
    discoveryOut.flush();
    runner.finishAll();
    return anyConverted;
}

}  // namespace

int runTool(std::span<const char* const> arguments, const ConvertFileFn& convert, std::ostream& out) {
    const ArgumentScan scan = scanArguments(arguments);
    switch (scan.outcome) {
        case ArgumentScan::Outcome::Usage:
            out << usageText() << std::endl;
            return 0;
        case ArgumentScan::Outcome::Version:
            out << versionText() << std::endl;
            return 0;
        case ArgumentScan::Outcome::Error:
            out << scan.message << std::endl;
            return 1;
        case ArgumentScan::Outcome::Run:
            break;
    }
    bool anyConverted = false;
    if (scan.options.jobs > 1) {
        anyConverted = convertInJobs(scan.options, out);
    } else {
        for (const std::string& input : scan.options.inputs) {
            if (processInput(input, scan.options, convert, out)) anyConverted = true;
        }
    }
    if (!anyConverted) out << "No input files found" << std::endl;
    return 0;
}

}  // namespace lumenpull
