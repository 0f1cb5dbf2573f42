#pragma once

#include "engine/MirrorExclusions.h"
#include "engine/MirrorRecord.h"
#include "engine/MirrorTime.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One entry of a side's tree. Paths are relative to the folder pair, with "/" between folders and
// none at either end, and name the same file on both sides (remote names already in the local form).
struct MirrorEntry {
    std::string path;
    std::int64_t size = -1;
    MirrorTime time;
    bool folder = false;
    // A symbolic link, never followed: a link to a folder is not a folder here.
    bool link = false;
};

// Everything found under one side's folder, in any order; every folder above an entry is listed too.
struct MirrorSide {
    std::vector<MirrorEntry> entries;
    // False when the folder itself is not there.
    bool exists = true;
    // False when a folder holds a name that cannot be mirrored: what it holds is not wholly known.
    bool complete = true;
    // False when a folder's listing failed or had lines that could not be read: the mirror stops,
    // since a file hidden there could be one it would overwrite or remove.
    bool readable = true;
};

enum class MirrorDirection {
    Up,   // local folder to the server
    Down, // server folder to the local one
};

struct MirrorOptions {
    MirrorDirection direction = MirrorDirection::Up;
    // Remove what the source side does not have.
    bool removeAbsent = false;
    // The person already agreed to a large removal (lumo-cli's --force).
    bool force = false;
    // The server's zone its LIST dates were read in, minutes east of UTC (RecordedEntry).
    int listZoneMinutes = 0;
};

struct MirrorAction {
    enum Kind : std::uint8_t {
        MakeFolder, // before the files in it
        Send,       // size: the source file's
        RecordOnly, // the same on both sides already: only recorded
        Conflict,   // changed on the destination since the record, or otherwise not to be sent blindly
        Skip,       // a link, or a name that cannot be mirrored
        Remove,     // last: the contents of a folder before the folder
    };
    Kind kind = Send;
    bool folder = false;
    std::string path;
    std::int64_t size = -1;
    // Why a conflict or skip happened, for the person; empty otherwise.
    const char* reason = "";
};

struct MirrorPlan {
    std::vector<MirrorAction> actions;
    // Set when nothing at all may happen (the source is missing or empty, a listing unreadable).
    const char* stopReason = nullptr;
    // Set when removals were asked for but none may happen (a name that cannot be mirrored).
    const char* removalsWithheld = nullptr;
    // Folders where names collide (differ only in case or Unicode form, or are listed twice): nothing
    // is removed in them, since a removal could hit the file just sent under the other spelling.
    std::vector<std::string> clashFolders;
    // The removals take more than a quarter of the destination's files (and more than 10): ask
    // again before they run (lumo-cli refuses without --force).
    bool needsConfirmation = false;
    std::int64_t destinationFiles = 0;
    std::int64_t removedFiles = 0;
};

// Decides what a mirror does, from both trees, the record of the last runs and the options.
// Excluded names are left alone on both sides and not listed. Links are never descended into; a
// source link is skipped and listed, a destination link never removed. A folder on one side that is
// a file on the other is a conflict, and nothing below it is touched.
// Both sides' entries are put in tree order (each folder before its contents) with repeated paths
// dropped, in place: the run that follows keeps them for FindEntry without a copy of either tree.
MirrorPlan PlanMirror(MirrorSide& source, MirrorSide& destination, const MirrorRecord& record,
                      const MirrorOptions& options, const MirrorExclusions& exclusions);

// The entry of `path` in a side that PlanMirror has put in order; null when it has none.
const MirrorEntry* FindEntry(const MirrorSide& side, std::string_view path);

// The record entry of a file that is the same on both sides now (after sending it, or when adopted).
// A listed remote time is kept as the server wrote it: read in `listZoneMinutes`, that zone is undone.
MirrorRecordEntry RecordedEntry(const MirrorEntry& local, const MirrorEntry& remote, int listZoneMinutes);
