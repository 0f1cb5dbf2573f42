#pragma once

#include <QString>

#include <functional>

class QAction;
class QMenu;
class QWidget;

// An entry that runs a command under a text of its own (one command reads differently in different
// menus). It takes the command's enabled state whenever its menu opens; the frame updates the
// commands first.
QAction* AddCommandAlias(QMenu* menu, QAction* command, const QString& text);

// The file list's right-click menu, "リストビューで右クリック"; `command` gives a command's action by id,
// `update` brings the commands' states up to date as the menu opens.
QMenu* CreateListContextMenu(QWidget* parent, const std::function<QAction*(int)>& command,
                             const std::function<void()>& update);
