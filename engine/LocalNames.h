#pragma once

#include "platform/NameCodec.h"

#include <QString>

#include <string_view>

// Whether bytes name exactly one entry of a folder: not empty, not "." or "..", and without "/" or
// NUL.
bool IsOneEntryName(std::string_view name);

// Whether a name from a server may become one local file or folder name: one entry's name in its
// bytes and as `names` decode it (the session's). Anything else could write outside the folder the
// user chose.
bool IsSafeLocalName(std::string_view raw, const NameCodec& names);

// The local name of a server's name: the name as `names` decode it (as the list shows it), composed
// (NFC), UTF-8 here whatever set the server sends. Only for names that pass IsSafeLocalName.
QString LocalNameFor(std::string_view raw, const NameCodec& names);

// The name a second file of the same local name is saved under: "name (2).ext", the number before
// the last extension, or at the end of a name that has none (".profile (2)").
QString NumberedName(const QString& name, int number);
