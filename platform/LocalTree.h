#pragma once

#include <QString>

// Deletes a local folder with everything in it, depth first, carrying on past failures. A symbolic
// link is removed as a link and never followed, so nothing outside the folder is touched; when the
// path itself is a link, only the link goes. Returns false when anything was left behind.
bool RemoveTreeNoFollow(const QString& path);

// True for a folder that must never be deleted as a whole: the file system's root, the user's home
// folder, or any folder above it.
bool IsProtectedFolder(const QString& path);
