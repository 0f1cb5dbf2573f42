#pragma once

#include "engine/MirrorExclusions.h"
#include "engine/MirrorPlan.h"

#include <optional>
#include <string>

// Everything under a local folder as a mirror compares it: paths relative to the folder, UTF-8,
// times to the nanosecond. Links are listed as links and never entered; excluded folders are not
// entered either. A folder that cannot be read leaves the side incomplete.
MirrorSide ReadLocalTree(const std::string& folder, const MirrorExclusions& exclusions);

// The local file's entry now, as ReadLocalTree would give it; nothing when it is not a plain file.
std::optional<MirrorEntry> ReadLocalFile(const std::string& folder, const std::string& relativePath);

// Gives a plain file (never a link) the modification time `seconds` (UTC); false when it could not.
bool SetLocalFileTime(const std::string& path, std::int64_t seconds);
