#include "gui/views/HostIcons.h"

#include <QBitmap>
#include <QFileInfo>
#include <QPixmap>

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

QIcon HostIconFromFile(const QString& path, const QColor& transparent) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return {};
    if (QFileInfo(path).suffix().compare(QStringLiteral("bmp"), Qt::CaseInsensitive) == 0) {
        QPixmap bitmap(path, "BMP");
        if (bitmap.isNull())
            return {};
        bitmap.setMask(bitmap.createMaskFromColor(transparent, Qt::MaskInColor));
        return QIcon(bitmap);
    }
    QIcon icon(path);
    // An icon file holds its pictures in several sizes; QIcon picks the one nearest the size drawn.
    if (icon.pixmap(16, 16).isNull())
        return {};
    return icon;
}
