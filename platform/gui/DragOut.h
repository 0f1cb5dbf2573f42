#pragma once

#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <memory>

class QMimeData;
class QObject;

// What becomes of entries dragged out of the program once the desktop has answered. Desktops
// answer in one of two ways, and which one ran is no business of the caller.
class DragOutDelivery {
public:
    virtual ~DragOutDelivery() = default;
    // The target named the folder the entries were dropped on: their transfers into it start, and
    // this returns at once.
    virtual void DeliverInto(const QString& folder) = 0;
    // The target wants the files themselves, now: they are fetched into `folder` before this
    // returns, within `budgetMs`. The local paths of the dragged entries once every one of them is
    // there whole; empty when the fetch failed, was cancelled or ran out of time.
    virtual QStringList FetchInto(const QString& folder, int budgetMs) = 0;
};

// The ways a drop target can tell where a drag went.
struct DragOutRoutes {
    // The X direct-save exchange: the target writes the folder back (Thunar, PCManFM, PCManFM-Qt,
    // Nemo, Caja, xfdesktop).
    bool directSave = false;
    // KDE's extraction call on the session bus: the target calls back with the folder (Dolphin,
    // the Plasma desktop, anything that drops through KIO).
    bool kdeExtract = false;
    // A list of files fetched into the cache when the target asks for it (GNOME Files, Wayland).
    // Never offered beside the direct-save exchange: GTK targets take a file list first when both
    // are there, and would then never name their folder.
    bool fileList = false;
};

// The routes for a session: `platform` is the Qt platform plugin's name, `desktop` the value of
// XDG_CURRENT_DESKTOP, `sessionBus` whether a session bus answers, `xcbBuilt` whether this build
// speaks the X exchange.
DragOutRoutes ChooseDragOutRoutes(const QString& platform, const QString& desktop, bool sessionBus,
                                  bool xcbBuilt);
// The routes of the session lumo runs in.
DragOutRoutes CurrentDragOutRoutes();

struct DragOutRequest {
    std::shared_ptr<DragOutDelivery> delivery;
    // The name a direct-save target is offered; one name without "/". The target only uses it to
    // say which folder it means.
    QString suggestedName;
    QPixmap picture;
    QPoint hotSpot;
    // How long a target that asks for the files may wait for them: below the 30 seconds after
    // which GTK targets give up.
    int fetchBudgetMs = 25000;
};

// Drags entries out of the program from `source`. Returns when the drag ends, or on X11 once it
// was dropped. The delivery is called later, at most once per way, if the target named a place.
void StartDragOut(QObject* source, DragOutRequest request);
// The data of a drag out as targets see it (the caller owns it): what StartDragOut hands to the
// drag, and what a test asks as a target would.
QMimeData* MakeDragOutData(DragOutRequest request, DragOutRoutes routes);
// Whether dropped data comes from a drag out of lumo (this window or another running copy).
bool IsDragOutData(const QMimeData* data);
// Where the file list route puts the files of each drag: one folder per drag in the cache.
QString DragOutCacheRoot();
