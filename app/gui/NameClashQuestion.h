#pragma once

#include "engine/EngineUi.h"

#include <string>

class QWidget;

// Two remote files of one download would be saved under one local name (a composed and a
// decomposed "é", names that decode alike): the user chooses to keep both (the default), to write
// over the first, to skip the second, or to stop. Paths come as the engine has them: the local one
// in UTF-8, the remote ones as the server's bytes.
NameClashAnswer AskNameClash(QWidget* parent, const std::string& localPath, const std::string& firstRemote,
                             const std::string& secondRemote);
