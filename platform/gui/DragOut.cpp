#include "platform/gui/DragOut.h"

#include "platform/PrivateFolder.h"
#include "platform/gui/KdeExtractCall.h"
#include "platform/gui/XdsDrag.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QDrag>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHostInfo>
#include <QMimeData>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace {

const QString kMarkerType = QStringLiteral("application/x-lumo-drag-out");
const QString kDirectSaveType = QStringLiteral("XdndDirectSave0");
const QString kKdeServiceType = QStringLiteral("application/x-kde-ark-dndextract-service");
const QString kKdePathType = QStringLiteral("application/x-kde-ark-dndextract-path");
const QString kUriListType = QStringLiteral("text/uri-list");

// An X request holds at most 16 MiB, and Qt sends a drag's data in one: a longer file list would
// break the connection to the X server.
constexpr qsizetype kMaxFileList = 4 * 1024 * 1024;
// A target may take a drag's folder up to this long after the drag began (Qt keeps the drag's data
// for as long), and never after a newer drag began.
constexpr qint64 kDeliveryWindowMs = 10 * 60 * 1000;
// Folders of earlier drags in the cache are removed once this old.
constexpr qint64 kCacheKeepSeconds = 24 * 60 * 60;

// The local path a target names, as a path or a file URL of this machine; empty otherwise.
QString LocalPathOf(const QString& target) {
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target);
    const QUrl url(target, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("file"))
        return {};
    const QString host = url.host();
    if (!host.isEmpty() && host != QLatin1String("localhost") &&
        host.compare(QHostInfo::localHostName(), Qt::CaseInsensitive) != 0)
        return {};
    const QString path = url.path();
    return path.startsWith(QLatin1Char('/')) ? QDir::cleanPath(path) : QString();
}

// The folder as the transfers write into it, when it is one this user can write in.
QString WritableFolder(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir() || !info.isWritable())
        return {};
    return info.canonicalFilePath();
}

// A new, empty folder of the cache for one drag's files, that only this user may enter; folders of
// old drags go. The root may be readable by others (earlier versions made it so), never writable.
QString NewCacheFolder() {
    const QString root = DragOutCacheRoot();
    if (root.isEmpty() || MakePrivateFolder(root, OthersMay::Read) != FolderFault::None)
        return {};
    const QDateTime now = QDateTime::currentDateTime();
    QDirIterator old(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    while (old.hasNext()) {
        old.next();
        if (old.fileInfo().lastModified().secsTo(now) > kCacheKeepSeconds)
            QDir(old.filePath()).removeRecursively();
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            now.toString(QStringLiteral("yyyyMMdd-hhmmss-zzz")) + QLatin1Char('-') + QString::number(attempt);
        if (QDir(root).mkdir(name, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return QDir(root).filePath(name);
    }
    return {};
}

class DragOutData;
// The newest drag: the one a KDE target's call is about.
QPointer<DragOutData> g_newestDrag;

// The data of one drag out. Qt keeps it until the target has finished with it (on X11 up to ten
// minutes after the drop), and asks it for the types targets request.
class DragOutData : public QMimeData {
public:
    DragOutData(DragOutRequest request, DragOutRoutes routes) : m_request(std::move(request)) {
        m_age.start();
        m_formats << kMarkerType;
        if (routes.directSave)
            m_formats << kDirectSaveType;
        if (routes.kdeExtract) {
            const KdeExtractCall::Address address = KdeExtractCall::Listen([](const QString& target) {
                if (g_newestDrag)
                    g_newestDrag->Deliver(WritableFolder(LocalPathOf(target)));
            });
            if (!address.service.isEmpty()) {
                m_kdeService = address.service;
                m_kdePath = address.path;
                m_formats << kKdeServiceType << kKdePathType;
            }
        }
        if (routes.fileList)
            m_formats << kUriListType;
        g_newestDrag = this;
    }

    QStringList formats() const override { return m_formats; }
    bool hasFormat(const QString& type) const override { return m_formats.contains(type); }

    // Hands the folder a target named to the delivery, from the event loop: the target's request
    // is still being answered now. False when the folder is not one to write in, or the drag has
    // been delivered, has been overtaken by a newer one or is too old.
    bool Deliver(const QString& folder) const {
        if (folder.isEmpty() || m_delivered || g_newestDrag != this || m_age.elapsed() > kDeliveryWindowMs)
            return false;
        m_delivered = true;
        QTimer::singleShot(0, qApp,
                           [delivery = m_request.delivery, folder] { delivery->DeliverInto(folder); });
        return true;
    }

protected:
    QVariant retrieveData(const QString& type, QMetaType) const override {
        if (type == kMarkerType)
            return QByteArray::number(QCoreApplication::applicationPid());
        if (type == kDirectSaveType && m_formats.contains(type)) {
            const QString file = LocalPathOf(QString::fromUtf8(XdsDrag::TakeTargetUri()));
            const bool saved = !file.isEmpty() && Deliver(WritableFolder(QFileInfo(file).path()));
            return QByteArray(saved ? "S" : "E");
        }
        if (type == kKdeServiceType && !m_kdeService.isEmpty())
            return m_kdeService;
        if (type == kKdePathType && !m_kdePath.isEmpty())
            return m_kdePath;
        if (type == kUriListType && m_formats.contains(type))
            return FileList();
        return {};
    }

private:
    // Fetches the files at the first request and answers every later one with the same list;
    // a request that comes while the fetch runs gets nothing.
    QByteArray FileList() const {
        if (m_fetching || m_fetched)
            return m_fileList;
        m_fetching = true;
        const QString folder = NewCacheFolder();
        const QPointer<const DragOutData> self(this);
        const QStringList paths =
            folder.isEmpty() ? QStringList() : m_request.delivery->FetchInto(folder, m_request.fetchBudgetMs);
        if (!self) {
            // The drag ended while the files came (its data goes once the target is done with it).
            QDir(folder).removeRecursively();
            return {};
        }
        QByteArray list;
        for (const QString& path : paths)
            list += QUrl::fromLocalFile(path).toEncoded() + "\r\n";
        if (list.isEmpty() || list.size() > kMaxFileList) {
            list.clear();
            if (!folder.isEmpty())
                QDir(folder).removeRecursively();
        }
        m_fileList = list;
        m_fetching = false;
        m_fetched = true;
        return m_fileList;
    }

    DragOutRequest m_request;
    QStringList m_formats;
    QByteArray m_kdeService;
    QByteArray m_kdePath;
    QElapsedTimer m_age;
    mutable bool m_delivered = false;
    mutable bool m_fetching = false;
    mutable bool m_fetched = false;
    mutable QByteArray m_fileList;
};

} // namespace

DragOutRoutes ChooseDragOutRoutes(const QString& platform, const QString& desktop, bool sessionBus,
                                  bool xcbBuilt) {
    const QStringList desktops = desktop.toLower().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    // GNOME Files (43 and later) speaks neither exchange; it reads a file list when the pointer
    // enters its window.
    const bool gnomeFiles =
        desktops.contains(QLatin1String("gnome")) || desktops.contains(QLatin1String("unity"));
    DragOutRoutes routes;
    routes.directSave = xcbBuilt && platform == QLatin1String("xcb") && !gnomeFiles;
    routes.kdeExtract = sessionBus;
    routes.fileList = !routes.directSave && !(sessionBus && desktops.contains(QLatin1String("kde")));
    return routes;
}

DragOutRoutes CurrentDragOutRoutes() {
    return ChooseDragOutRoutes(QGuiApplication::platformName(), qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                               KdeExtractCall::Available(), XdsDrag::Available());
}

QMimeData* MakeDragOutData(DragOutRequest request, DragOutRoutes routes) {
    return new DragOutData(std::move(request), routes);
}

void StartDragOut(QObject* source, DragOutRequest request) {
    const DragOutRoutes routes = CurrentDragOutRoutes();
    auto* drag = new QDrag(source);
    drag->setPixmap(request.picture);
    drag->setHotSpot(request.hotSpot);
    const QString name = request.suggestedName;
    drag->setMimeData(MakeDragOutData(std::move(request), routes));
    if (routes.directSave) {
        // Runs inside the drag, once it owns the selection whose window targets read the name from.
        QTimer::singleShot(0, qApp, [name] { XdsDrag::NameRunningDrag(name); });
    }
    // Qt keeps the drag until the target has finished with it, and deletes it then.
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

bool IsDragOutData(const QMimeData* data) {
    return data && data->hasFormat(kMarkerType);
}

QString DragOutCacheRoot() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cache.isEmpty() ? QString() : QDir(cache).filePath(QStringLiteral("drag"));
}
