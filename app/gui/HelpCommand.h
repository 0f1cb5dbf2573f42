#pragma once

#include <QString>

class QWidget;

// The user guide: doc/guide of the sources, installed beside the program as
// <prefix>/share/lumo/guide/ (the build folder has the same layout).
QString UserGuidePath();

// Opens the guide in the browser; when it is missing or no browser takes it (the desktop's opener
// fails, which may be known only a moment later), a message box names the file.
void ShowUserGuide(QWidget* parent, const QString& path = UserGuidePath());
