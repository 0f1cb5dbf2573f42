#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The call KDE's file manager, its desktop and every program that drops through KIO make on the
// session bus when the drag names an object there: org.kde.ark.DndExtract.extractSelectedFilesTo
// with the folder dropped on, as a path or a file URL. Ark offers its archive entries this way;
// lumo offers remote entries the same way.
namespace KdeExtractCall {

struct Address {
    QByteArray service; // the bus name of this program's connection
    QByteArray path;    // the object that takes the call
};

// A session bus answers.
bool Available();
// Takes the call from now on, handing each target to `called`; the address to put in the drag.
// Empty when no session bus answers.
Address Listen(std::function<void(const QString& target)> called);

} // namespace KdeExtractCall
