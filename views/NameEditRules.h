#pragma once

#include <QString>

#include <string>

// What happens when the file list's name editor closes, for the new-folder row or for a row being
// renamed. A typed name must be one name the server can take within the current folder.
struct NameEditOutcome {
    enum class Action { Nothing, CreateFolder, Rename, Refuse };
    Action action = Action::Nothing;
    // Why a name is refused, for the message box.
    QString refusal;
};

// `oldName` is the edited row's raw name (empty for the new-folder row); `accepted` is false when
// the edit was cancelled.
NameEditOutcome DecideNameEdit(bool newFolder, const std::string& oldName, const QString& typed,
                               bool accepted);
