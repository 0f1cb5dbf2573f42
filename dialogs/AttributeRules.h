#pragma once

#include <QString>

#include <array>
#include <optional>

// The nine Unix permission bits in the order owner, group, other; read, write, execute each.
using PermissionFlags = std::array<bool, 9>;

// One octal digit of a permission group: 4 × read + 2 × write + execute.
int PermissionDigit(bool read, bool write, bool execute);
// "%d%d%d" of the owner, group and other digits.
QString NumberFromFlags(const PermissionFlags& flags);
// The flags of a listing's attribute column ("-rw-r--r--"): characters 1 to 9 in turn, each set unless
// it is "-"; missing characters count as "-".
PermissionFlags FlagsFromAttributes(const QString& attributes);

// Where the first character that is not a decimal digit stands; -1 when there is none.
qsizetype FirstNonDigit(const QString& number);
// A typed number as it is read and sent: its first three characters, padded with "0" on the right
// (7 reads as 700, an empty number as 000).
QString ThreeDigitNumber(const QString& number);
// The flags a typed number stands for; empty when the check boxes cannot follow it (a character that
// is no digit, a digit 8 or 9, or a value over 777).
std::optional<PermissionFlags> FlagsFromNumber(const QString& number);
