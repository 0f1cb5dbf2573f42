#pragma once

#include "platform/RegistryStore.h"

#include <QString>

// The words for a damaged settings file: what was lost and where the original is.
QString StoreDamageMessage(const RegistryStore::Damage& damage);

// From now on a damaged settings file is told once in a run of the program, in a message box over
// the main window that names where the original was kept.
void InstallStoreDamageNotice();
