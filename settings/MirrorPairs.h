#pragma once

#include <QString>

#include <string>

// Which remote folder of which account a mirror pair keeps in step with a local folder. The account
// is named by address, port and user rather than by its place in the host list, so that a pair
// survives the hosts being reordered.
struct MirrorPairId {
    std::string host;
    int port = 21;
    std::string user;
    std::string remoteFolder; // the server's bytes
    // Not part of what names the pair: the exclusions a pair never stored starts with, its host's
    // default list (one pattern per line).
    std::string hostExclusions = {};
};

// What is remembered of a pair.
struct MirrorPairSettings {
    // The local folder the person chose; empty until one is.
    QString localFolder;
    // Remove what the source side does not have. Off until the person asks for it.
    bool removeAbsent = false;
    // The names left alone, one pattern per line (MirrorExclusions::Parse reads them).
    std::string exclusions;
};

// The pair's settings from the store; defaults (no folder, the host's exclusions) when none are
// stored. A stored pair keeps its own exclusions, even none.
MirrorPairSettings LoadMirrorPair(const MirrorPairId& pair);
// Replaces the pair's settings in one write of the store. False when they could not be written, or
// a folder or pattern too long for the store would be lost.
bool SaveMirrorPair(const MirrorPairId& pair, const MirrorPairSettings& settings);

// Why `folder` cannot be a mirror's local folder (it must be a full path to an existing folder, and
// never the program's temporary folder, which may be emptied at exit), or "" when it can.
QString MirrorFolderProblem(const QString& folder);
