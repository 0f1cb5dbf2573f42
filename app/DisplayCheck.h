#pragma once

#include <string>

// Whether the window can be shown at all. On a desktop without a display (a server, a container, a
// CI job) the toolkit would abort with its own error; lumo says what is wrong in one line instead.
// Empty when a display is there (or another platform plugin was asked for); otherwise the message.
std::string MissingDisplayMessage();
