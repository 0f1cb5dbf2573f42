#include "settings/ExitActions.h"

#include "platform/LocalTree.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"
#include "settings/TempFolder.h"

void DeleteTempFolderIfAsked() {
    SettingsKey key;
    key.OpenKey(KeyFamily::Option);
    if (key.ReadDword(SettingName::DelTmp, 0) == 0)
        return;
    // Never the private folder when it is refused (a link, another user's): nothing is made just to
    // be removed either.
    const QString folder = ExistingTempFolder();
    // A temporary folder set to the home folder (or above it) would take the user's files with it.
    if (folder.isEmpty() || IsProtectedFolder(folder))
        return;
    RemoveTreeNoFollow(folder);
}

void ForgetWindowLayoutIfAsked() {
    SettingsKey option;
    option.OpenKey(KeyFamily::Option);
    if (option.ReadDword(SettingName::SaveWinSize, 1) != 0)
        return;
    SettingsBatch batch;
    SettingsKey profile;
    if (!profile.OpenKey(KeyFamily::Profile, ""))
        return;
    profile.DeleteSubkey(SettingName::WindowKey);
    profile.DeleteSubkey(SettingName::ViewKey);
    profile.DeleteSubkey(SettingName::RebarKey);
}

void RunExitActions() {
    DeleteTempFolderIfAsked();
    ForgetWindowLayoutIfAsked();
}
