#include "hosts/HostMirrorPair.h"

MirrorPairId HostMirrorPair(const HostRecord& host, const std::string& remoteFolder) {
    return MirrorPairId{host.Adr, host.Port, host.User,
                        remoteFolder.empty() ? std::string("/") : remoteFolder, host.MirrorExcludes};
}
