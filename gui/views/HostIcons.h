#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// The picture number of built-in host icon n (0..9); any other number gives the fallback picture.
int HostIconResourceId(int number);

// One of the eleven built-in host icons.
QIcon GetHostIcon(int number);

// A host icon from a picture file the user chose. A ".bmp" (any case) has no transparency of its
// own: its pixels of the colour `transparent` are left out. Any other picture (PNG, SVG, an icon file,
// whose first picture of the smallest size is used) keeps its own. Null when the file cannot be read
// as a picture.
QIcon HostIconFromFile(const QString& path, const QColor& transparent);
