#pragma once

#include <QPixmap>
#include <QPoint>

#include <vector>

class QAbstractItemView;

// The picture a drag of list rows shows: each dragged row that is in sight, with its picture and
// name where the list shows it, on a clear ground. `cursor` is where the rows were grabbed, in the
// view's viewport; `hotSpot` receives its place in the picture.
QPixmap DragPicture(const QAbstractItemView& view, const std::vector<int>& rows, const QPoint& cursor,
                    QPoint* hotSpot);
