#pragma once

#include <QString>

#include <string_view>

// Whether a name from a server may become one local file or folder name: not empty, not "." or
// "..", and without "/" or NUL, in its bytes and as shown. Anything else could write outside the
// folder the user chose.
bool IsSafeLocalName(std::string_view raw);

// The local name of a server's name: the name as the list shows it, composed (NFC), UTF-8 here
// whatever set the server sends. Only for names that pass IsSafeLocalName.
QString LocalNameFor(std::string_view raw);

// The name a second file of the same local name is saved under: "name (2).ext", the number before
// the last extension, or at the end of a name that has none (".profile (2)").
QString NumberedName(const QString& name, int number);
