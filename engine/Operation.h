#pragma once

#include "engine/Answer.h"
#include "engine/ListingParser.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

// What a download does with a local file of its name that this run did not write: ask when the
// file is about to be written, replace it, keep it (the download is skipped), or continue it.
enum class ExistingFile : std::int8_t { Ask, Replace, Keep, Resume };
// An answer to the file or folder overwrite question of a download as what its files do; none for
// cancel.
std::optional<ExistingFile> ExistingFileOfAnswer(Answer answer);

// The operations a session queues and runs one after the other, each with what it needs. Remote
// paths are the server's bytes, local paths UTF-8. The files and folders of one folder download or
// delete carry the number of that walk (`walk`, 0 for none), so that the whole walk can be given
// up at once.
namespace Op {
// LIST (or MLSD) of the working folder, for the file list.
struct List {};
// PWD: the working folder, for the host tree.
struct PrintFolder {};
// CWD to a whole path.
struct ChangeFolder {
    std::string path;
    std::uint32_t walk = 0;
};
// CDUP.
struct ParentFolder {};
struct MakeFolder {
    std::string path;
};
// RNFR, then RNTO.
struct Rename {
    std::string from;
    std::string to;
};
// The permission command as it goes out ("SITE CHMOD 644 /pub/a").
struct Attributes {
    std::string command;
};
// DELE.
struct DeleteFile {
    std::string path;
    std::uint32_t walk = 0;
};
// RMD.
struct RemoveFolder {
    std::string path;
    std::uint32_t walk = 0;
};
// Enters a folder that is to be deleted and lists it; its entries are then queued in front.
struct ListToDelete {
    std::string path;
    std::uint32_t walk = 0;
};
// One file down; `size` as listed (-1: unknown).
struct Download {
    std::string local;
    std::string remote;
    std::int64_t size = -1;
    ExistingFile existing = ExistingFile::Ask;
    std::uint32_t walk = 0;
};
// Enters a folder of a folder download, `depth` levels below the folder chosen, and lists it; its
// files and folders are then queued in front. A `link` that cannot be entered is fetched as a file.
struct ListToDownload {
    std::string local;
    std::string remote;
    std::int64_t depth = 0;
    bool link = false;
    ExistingFile existing = ExistingFile::Ask;
    std::uint32_t walk = 0;
    // The walk's files stay on this session although a transfer queue takes the others.
    bool keepHere = false;
};
// One file up, from `offset` on.
struct Upload {
    std::string local;
    std::string remote;
    std::int64_t offset = 0;
};
// Opens a local path with the desktop ("open" a file, "explore" a folder) once what was queued
// before it is done.
struct ShellOpen {
    std::string path;
    std::string verb;
};
// ABOR, after a cancel or a transfer that went quiet.
struct Abort {};
// FEAT, then OPTS UTF8 ON where it applies.
struct Features {};
// SIZE of a whole path, in binary mode.
struct Size {
    std::string path;
};
// Enters a folder and lists it for a caller of its own (a mirror's walk), not for the file list.
// `done` gets whether the folder was entered and its listing read to its end, and the entries; it is
// called once, also when the operation fails. With `exactTimes`, by MLSD where FEAT offers MLST.
struct ListFolder {
    std::string path;
    std::function<void(bool complete, std::vector<RemoteEntry> entries)> done;
    bool exactTimes = false;
};
// MFMT for each file (a whole path and seconds, UTC), several on the way at once: one round trip
// per file would cost a mirror more than sending small files does. A refusal is only logged.
struct SetTimes {
    std::vector<std::pair<std::string, std::int64_t>> files;
    // How many of them went out, and how many were answered.
    std::size_t sent = 0;
    std::size_t answered = 0;
};
} // namespace Op

using Operation = std::variant<Op::List, Op::PrintFolder, Op::ChangeFolder, Op::ParentFolder, Op::MakeFolder,
                               Op::Rename, Op::Attributes, Op::DeleteFile, Op::RemoveFolder, Op::ListToDelete,
                               Op::Download, Op::ListToDownload, Op::Upload, Op::ShellOpen, Op::Abort,
                               Op::Features, Op::Size, Op::ListFolder, Op::SetTimes>;

// The message an operation's first step runs under; the UI knows an operation by it too (status
// texts, failure lines).
int FirstStep(const Operation& op);
// The walk an operation belongs to (0: none), and a new one for an operation that can carry one.
std::uint32_t WalkOf(const Operation& op);
void SetWalk(Operation& op, std::uint32_t walk);
