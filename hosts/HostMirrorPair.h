#pragma once

#include "hosts/HostRecord.h"
#include "settings/MirrorPairs.h"

#include <string>

// The mirror pair of a host's remote folder, named as the window and lumo-cli both name it, so that
// they share the pair's settings; a pair never stored starts with the host's exclusions.
MirrorPairId HostMirrorPair(const HostRecord& host, const std::string& remoteFolder);
