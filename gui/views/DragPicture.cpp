#include "gui/views/DragPicture.h"

#include <QAbstractItemView>
#include <QIcon>
#include <QListView>
#include <QPainter>

#include <algorithm>
#include <utility>

namespace {
// Enough rows to fill any list pane; the picture never grows beyond the list in sight.
constexpr std::size_t kMostRows = 200;
} // namespace

QPixmap DragPicture(const QAbstractItemView& view, const std::vector<int>& rows, const QPoint& cursor,
                    QPoint* hotSpot) {
    const QAbstractItemModel* model = view.model();
    const QRect viewport = view.viewport()->rect();
    std::vector<std::pair<QRect, QModelIndex>> shown;
    QRect area;
    for (int row : rows) {
        const QModelIndex index = model->index(row, 0);
        const QRect rect = view.visualRect(index) & viewport;
        if (rect.isEmpty())
            continue;
        shown.emplace_back(rect, index);
        area |= rect;
        if (shown.size() == kMostRows)
            break;
    }
    if (shown.empty() && !rows.empty()) {
        // Nothing dragged is in sight (the list scrolled away): the first row goes under the pointer.
        const QRect rect(cursor, QSize(std::min(viewport.width(), 200), view.iconSize().height() + 4));
        shown.emplace_back(rect, model->index(rows.front(), 0));
        area = rect;
    }
    *hotSpot = cursor - area.topLeft();
    const qreal ratio = view.devicePixelRatioF();
    QPixmap picture(area.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    if (area.isEmpty())
        return picture;

    QPainter painter(&picture);
    const auto* list = qobject_cast<const QListView*>(&view);
    const bool iconAbove = list && list->viewMode() == QListView::IconMode;
    const QSize iconSize = view.iconSize();
    QColor ground = view.palette().color(QPalette::Highlight);
    ground.setAlpha(150);
    painter.setPen(view.palette().color(QPalette::HighlightedText));
    painter.setFont(view.font());
    for (const auto& [rect, index] : shown) {
        const QRect r = rect.translated(-area.topLeft());
        painter.fillRect(r, ground);
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        const QString name = index.data(Qt::DisplayRole).toString();
        QRect iconRect(QPoint(), iconSize);
        QRect textRect;
        int align = Qt::AlignVCenter | Qt::AlignLeft;
        if (iconAbove) {
            iconRect.moveTo(r.center().x() - iconSize.width() / 2, r.top() + 2);
            textRect = QRect(r.left(), iconRect.bottom() + 2, r.width(), r.bottom() - iconRect.bottom() - 2);
            align = Qt::AlignTop | Qt::AlignHCenter;
        } else {
            iconRect.moveTo(r.left() + 2, r.center().y() - iconSize.height() / 2);
            textRect = r.adjusted(iconSize.width() + 6, 0, 0, 0);
        }
        icon.paint(&painter, iconRect);
        painter.drawText(textRect, align,
                         painter.fontMetrics().elidedText(name, Qt::ElideRight, textRect.width()));
    }
    return picture;
}
