#pragma once

#include <QString>

#include <string>
#include <string_view>

// What the dialogs keep in a host's settings key. A host number below 0 means no host: reads give
// their defaults and writes are skipped.

inline constexpr const char* DefaultChmodCommand = "SITE CHMOD";

// The host's permission command, or "SITE CHMOD" when none (or an empty one) is stored.
std::string ReadChmodCommand(int hostNumber);
void WriteChmodCommand(int hostNumber, std::string_view command);

// Stores the account as the host's `User` and `Pass` (scrambled); the key is created when missing.
void SaveAccount(int hostNumber, std::string_view user, std::string_view pass);

// Text that goes to the server as part of a command: only its first line, so that a line break in
// it can never start a second command.
QString SingleLine(const QString& text);
