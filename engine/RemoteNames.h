#pragma once

#include <string>
#include <string_view>

// Whether a text may go into a command line: a CR or LF would end the line early and let the rest
// of the text be read as a command of its own.
bool IsOneCommandLine(std::string_view text);

// Whether a name from a listing stands for exactly one entry of the folder it was listed in: not
// empty, not "." or "..", without "/" or NUL, and fit for a command line. Deleting by any other
// name could reach outside that folder. The bytes the server gets are what count, not how a set
// shows them.
bool IsSafeRemoteName(std::string_view raw);

// The last name of a remote path: what follows its last "/" (the whole path when it has none).
std::string LastNameOf(const std::string& path);

// A name as a log line shows it: control bytes (a line break among them) become "?", so one name
// stays on one line.
std::string ShownName(std::string name);
