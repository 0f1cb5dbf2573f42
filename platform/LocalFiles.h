#pragma once

#include <QFile>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Files a download writes. None of these ever follows a symbolic link: a link planted where a
// download lands would otherwise send its bytes to wherever the link points.

// One file whatever name it is reached by, so that a file written under one name is known again
// under another that the file system takes for the same (a composed and a decomposed "é").
struct LocalFileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool operator==(const LocalFileId&) const = default;
};

struct LocalFileIdHash {
    std::size_t operator()(const LocalFileId& id) const {
        return std::hash<std::uint64_t>()(id.inode * 31 + id.device);
    }
};

// What a local path names, the link itself when it is one.
struct LocalEntry {
    enum class Kind { None, File, Folder, Link, Other };
    Kind kind = Kind::None;
    std::int64_t size = 0;
    LocalFileId id;
    // The last modification, UTC, to the nanosecond where the file system keeps it.
    std::int64_t modifiedSeconds = 0;
    std::uint32_t modifiedNanoseconds = 0;
};
LocalEntry InspectLocalPath(const std::string& path);

// How a file is opened for writing: made new (failing when anything, a link included, has the
// name), emptied, or written at its end. Truncate and Append refuse a link.
enum class WriteOpen { CreateNew, Truncate, Append };

struct OpenedFile {
    std::unique_ptr<QFile> file;
    LocalFileId id;
    // Why it failed (errno); 0 on success.
    int error = 0;
    bool Exists() const;
};
OpenedFile OpenForWriting(const std::string& path, WriteOpen how);

// Removes the entry at `path` when it is no folder: a link goes as a link, never what it leads to.
bool RemoveLocalEntry(const std::string& path);
