#pragma once

#include <QString>

// What can be wrong with a folder that is to hold this user's files and no one else's.
enum class FolderFault {
    None,
    Missing,      // nothing by that name
    NotAFolder,   // a file or another kind of entry
    Link,         // a symbolic link, never followed
    OtherOwner,   // another user's folder
    OpenToOthers, // group or others have rights they must not have
    ParentOpen,   // others may rename or replace entries of the folder above it
    Unreachable,  // it cannot be looked at, or made
};

// Which rights group and others may keep: none at all, or reading and entering.
enum class OthersMay { Nothing, Read };

// Looks at `path` itself, without following a link in its place: a folder of this user that others
// may not change, and when `others` is Nothing may not enter either; the folder above it must not be
// writable by others unless it is sticky (as /tmp is). Where the system has no owners and modes (or
// no POSIX calls for them), any folder passes.
FolderFault CheckPrivateFolder(const QString& path, OthersMay others = OthersMay::Nothing);

// Makes `path` when it is missing, with the folders above it that are missing, each with mode 0700,
// then checks it as above. A folder that exists is never changed, whoever's it is.
FolderFault MakePrivateFolder(const QString& path, OthersMay others = OthersMay::Nothing);
