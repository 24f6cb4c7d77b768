#include "cli/input_discovery.h"

#include "cli/platform_files.h"
#include "convert/root_folder.h"

namespace lumenpull {
namespace {

constexpr const char* kBigSuffix = "--Big";

// The extension of a directory entry's name: from its last dot to the end.
// "." and ".." and names without a dot have none.
std::string entryExtension(const std::string& name) {
    if (name == "." || name == "..") return {};
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

class DirectoryWalk {
public:
    DirectoryWalk(const std::string& input, const ToolOptions& options, const ConvertFileFn& convert, std::ostream& out,
                  const PathFailureFn& failure)
        : input_(input), options_(options), convert_(convert), out_(out), failure_(failure) {}

    bool converted() const { return converted_; }

    void walk(const std::string& directory) {
        DirectoryReader reader(directory, out_);
        std::string name;
        while (reader.next(name)) {
            const std::string path = joinEntryPath(directory, name);
            visit(path, name);
            if (options_.recursive && isRealDirectory(path)) walk(path);
        }
        if (failure_ && reader.failure()) failure_(directory, *reader.failure());
    }

private:
    void visit(const std::string& path, const std::string& name) {
        const std::string extension = entryExtension(name);
        if (extension.empty() || options_.formats.count(extension) == 0) return;
        if (options_.noBig && bigTwinExists(path, extension)) return;
        converted_ = true;
        convert_(path, input_, options_, out_);
    }

    const std::string& input_;
    const ToolOptions& options_;
    const ConvertFileFn& convert_;
    std::ostream& out_;
    const PathFailureFn& failure_;
    bool converted_ = false;
};

}  // namespace

bool processInput(const std::string& input, const ToolOptions& options, const ConvertFileFn& convert, std::ostream& out,
                  const PathFailureFn& failure) {
    const PathStatus status = queryPathStatus(input);
    if (status == PathStatus::Directory) {
        // A folder outside --root is handed over whole, for the driver to
        // refuse in one report rather than in one per file it holds.
        if (options.root && !pathBelowRoot(input, *options.root)) {
            convert(input, input, options, out);
            return true;
        }
        DirectoryWalk walk(input, options, convert, out, failure);
        walk.walk(input);
        return walk.converted();
    }
    // File rule: the last dot of the whole string starts the extension, so a
    // dot in a directory part counts when the file name has none. No
    // existence check: the driver reports a missing file.
    const size_t dot = input.rfind('.');
    if (dot == std::string::npos || options.formats.count(input.substr(dot)) == 0) {
        // Dropped; when it is not even there (a misspelled folder), say so.
        if (failure && (status == PathStatus::NotFound || status == PathStatus::Failed)) {
            const std::string reason = pathFailureReason(input);
            if (!reason.empty()) failure(input, reason);
        }
        return false;
    }
    convert(input, input, options, out);
    return true;
}

bool bigTwinExists(const std::string& path, const std::string& extension) {
    // Only the file name counts: a folder named "pack--Big" is an ordinary folder.
    if (path.find(kBigSuffix, fileNameStart(path)) != std::string::npos) return false;
    const std::string twin = path.substr(0, path.size() - extension.size()) + kBigSuffix + extension;
    const PathStatus status = queryPathStatus(twin);
    return status == PathStatus::RegularFile || status == PathStatus::Directory;
}

}  // namespace lumenpull
