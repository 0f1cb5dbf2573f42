#pragma once

#include <QIcon>

// The picture number of built-in host icon n (0..9); any other number gives the fallback picture.
int HostIconResourceId(int number);

// One of the eleven built-in host icons.
QIcon GetHostIcon(int number);
