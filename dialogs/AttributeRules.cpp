#include "dialogs/AttributeRules.h"

int PermissionDigit(bool read, bool write, bool execute) {
    return 4 * int(read) + 2 * int(write) + int(execute);
}

QString NumberFromFlags(const PermissionFlags& f) {
    return QStringLiteral("%1%2%3")
        .arg(PermissionDigit(f[0], f[1], f[2]))
        .arg(PermissionDigit(f[3], f[4], f[5]))
        .arg(PermissionDigit(f[6], f[7], f[8]));
}

PermissionFlags FlagsFromAttributes(const QString& attributes) {
    // Padded to the full ten characters: an empty column has no permission at all.
    const QString text = attributes.leftJustified(10, QLatin1Char('-'));
    PermissionFlags flags{};
    for (int i = 0; i < 9; ++i)
        flags[static_cast<size_t>(i)] = text[i + 1] != QLatin1Char('-');
    return flags;
}

qsizetype FirstNonDigit(const QString& number) {
    for (qsizetype i = 0; i < number.size(); ++i) {
        if (number[i] < QLatin1Char('0') || number[i] > QLatin1Char('9'))
            return i;
    }
    return -1;
}

QString ThreeDigitNumber(const QString& number) {
    return number.left(3).leftJustified(3, QLatin1Char('0'));
}

std::optional<PermissionFlags> FlagsFromNumber(const QString& number) {
    if (FirstNonDigit(number) >= 0)
        return std::nullopt;
    int v = ThreeDigitNumber(number).toInt();
    if (v > 777)
        return std::nullopt;
    PermissionFlags flags{};
    // Each place is taken off in turn; what is left over after a place shows a digit 8 or 9 in it.
    const int steps[9] = {400, 200, 100, 40, 20, 10, 4, 2, 1};
    const int limits[3] = {77, 7, 0};
    for (int place = 0; place < 3; ++place) {
        for (int bit = 0; bit < 3; ++bit) {
            const int i = place * 3 + bit;
            flags[static_cast<size_t>(i)] = v >= steps[i];
            if (flags[static_cast<size_t>(i)])
                v -= steps[i];
        }
        if (v > limits[place])
            return std::nullopt;
    }
    return flags;
}
