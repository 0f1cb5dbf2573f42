#include "views/gui/HostIcons.h"

#include <array>

int HostIconResourceId(int number) {
    static constexpr std::array<int, 10> ids = {207, 205, 209, 210, 231, 232, 233, 234, 235, 236};
    if (number < 0 || number >= static_cast<int>(ids.size()))
        return 206;
    return ids[static_cast<size_t>(number)];
}

QIcon GetHostIcon(int number) {
    return QIcon(QStringLiteral(":/hosticons/%1.svg").arg(HostIconResourceId(number)));
}
