#include "settings/OptionSettings.h"

#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <utility>

namespace {

// The flags in the order they are written.
using Flag = std::pair<const char*, bool OptionSettings::*>;
constexpr Flag kFlags[] = {
    {SettingName::TreeExpand, &OptionSettings::treeexpand},
    {SettingName::SaveWinSize, &OptionSettings::savewinsize},
    {SettingName::ChkDownOw, &OptionSettings::chkdownow},
    {SettingName::ChkUpOw, &OptionSettings::chkupow},
    {SettingName::ChkDelete, &OptionSettings::chkdelete},
    {SettingName::DelTmp, &OptionSettings::deltmp},
    {SettingName::OpenDownFolder, &OptionSettings::opendownfolder},
};

} // namespace

OptionSettings OptionSettings::Load() {
    OptionSettings s;
    SettingsKey key;
    key.OpenKey(KeyFamily::Option);
    const std::uint32_t type = key.ReadDword(SettingName::Type, Binary);
    s.type = type == Ascii ? Ascii : type == Binary ? Binary : AsAtLastExit;
    const OptionSettings defaults;
    for (const auto& [name, flag] : kFlags)
        s.*flag = key.ReadDword(name, defaults.*flag ? 1 : 0) != 0;
    return s;
}

void OptionSettings::Save() const {
    SettingsKey key;
    if (!key.CreateKey(KeyFamily::Option))
        return;
    key.WriteDword(SettingName::Type, type);
    for (const auto& [name, flag] : kFlags)
        key.WriteDword(name, this->*flag ? 1 : 0);
}
