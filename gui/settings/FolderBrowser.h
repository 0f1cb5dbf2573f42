#pragma once

#include <QString>

class QWidget;

// The folder browser behind the sheets' "参照" buttons: local folders only, starting in `current`
// when that names a folder. The folder picked, or "" when the user cancelled.
QString BrowseForFolder(QWidget* parent, const QString& current);
