#include "settings/TransferSessions.h"

#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <algorithm>
#include <cstdint>

namespace {

int ClampTransferSessions(std::uint32_t stored) {
    if (stored == 0)
        return TransferSessions::Default;
    return static_cast<int>(std::min<std::uint32_t>(stored, TransferSessions::Max));
}

} // namespace

int DefaultTransferSessions() {
    SettingsKey key;
    key.OpenKey(KeyFamily::Option);
    return ClampTransferSessions(key.ReadDword(SettingName::Sessions, TransferSessions::Default));
}

void SaveDefaultTransferSessions(int sessions) {
    SettingsKey key;
    if (!key.CreateKey(KeyFamily::Option))
        return;
    key.WriteDword(SettingName::Sessions, static_cast<std::uint32_t>(std::clamp(
                                              sessions, TransferSessions::Min, TransferSessions::Max)));
}
