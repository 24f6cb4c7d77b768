#pragma once

// The one place that talks to the file system for input discovery: path
// status, directory enumeration and how an entry's path is formed. A Windows
// build replaces the implementation (wide paths, backslash joins) and leaves
// every caller unchanged.

#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace lumenpull {

enum class PathStatus { Directory, RegularFile, Other, NotFound, Failed };

// Follows symbolic links, as the status query of an input does.
PathStatus queryPathStatus(const std::string& path);

// Why the status query of `path` fails, in the system's words ("No such
// file or directory", "Permission denied"); empty when it succeeds.
std::string pathFailureReason(const std::string& path);

// True when the entry itself is a directory; a symbolic link to a directory
// is not, so a walk lists it but does not enter it.
bool isRealDirectory(const std::string& path);

// Joins a directory path and an entry name with the platform separator,
// unless the parent already ends with one.
std::string joinEntryPath(const std::string& parent, const std::string& name);

// Where the last element of a path (its file name) begins: after the last
// platform separator, or 0 when there is none.
std::size_t fileNameStart(const std::string& path);

// Why images cannot be put below `path`, in the system's words: it is not
// a folder ("Not a directory"), or it does not exist and the nearest
// existing path above it is not a folder, or (POSIX) that folder may not be
// written ("Permission denied", "Read-only file system"). Nothing when the
// folder is, or can be made, a place for images. Creates nothing.
std::optional<std::string> outputFolderProblem(const std::string& path);

// Enumerates the entries of one directory, "." and ".." left out. A directory
// that cannot be opened simply yields no entries; failure() then tells why.
// Entries a Windows build cannot name (outside the system code page, or a
// path too long) are left out with a line on `report`.
class DirectoryReader {
public:
    DirectoryReader(const std::string& path, std::ostream& report);
    ~DirectoryReader();
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    // Stores the next entry's name and returns true, or returns false at the end.
    bool next(std::string& name);

    // Why the directory could not be opened, or its enumeration ended early,
    // in the system's words; nothing when every entry was handed out.
    const std::optional<std::string>& failure() const;

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

}  // namespace lumenpull
