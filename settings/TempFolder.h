#pragma once

#include "platform/PrivateFolder.h"

#include <QString>

// The program's temporary folder, looked up each time it is needed. The user's own folder (`temp`,
// when `systemp` is 0) is used when a file can be created in it; otherwise this user's private
// folder of the cache ($XDG_CACHE_HOME/lumo/tmp), made with mode 0700 when missing and used only
// while it is a folder of this user that no one else may enter.
struct TempFolderChoice {
    QString folder;  // ends with "/"; empty when no folder can be had
    QString problem; // when `folder` is empty: what is wrong and how to mend it, for the user
};
TempFolderChoice ChooseTempFolder();
// ChooseTempFolder's folder alone.
QString GetTempFolder();
// The folder GetTempFolder would give, without making the private one: empty when that one is
// missing or refused.
QString ExistingTempFolder();

// The private folder of the cache, ending with "/", without making it; empty when the system names
// no cache folder.
QString SystemTempFolder();
// What is wrong with the private folder as it stands: None when it is good or not made yet.
FolderFault SystemTempFolderFault();
// What is wrong with the private folder `folder` and how to mend it, in a sentence or two.
QString TempFolderFaultText(FolderFault fault, const QString& folder);

// Why a folder the user typed cannot serve as the temporary folder (it must be a full path to a
// folder in which files can be created), or "" when it can.
QString TempFolderProblem(const QString& folder);
