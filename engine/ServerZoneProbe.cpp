#include "engine/ServerZoneProbe.h"

#include "engine/FtpEngine.h"
#include "engine/MirrorTime.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <cmath>

namespace {

std::int64_t NowUtc() {
    return QDateTime::currentSecsSinceEpoch();
}

// A listed time a few minutes off a zone's boundary is no zone at all: the server's clock is
// wrong, or the listing is of another file.
constexpr std::int64_t kSlackSeconds = 5 * 60;
// Zones lie from 12 hours west to 14 hours east of UTC.
constexpr int kWestmost = -12 * 60;
constexpr int kEastmost = 14 * 60;

} // namespace

CServerZoneProbe::CServerZoneProbe(CFtpEngine& engine, std::string remoteFolder, QObject* parent)
    : QObject(parent), m_engine(engine), m_folder(std::move(remoteFolder)) {
    connect(&m_engine, &CFtpEngine::Idle, this, &CServerZoneProbe::OnIdle, Qt::QueuedConnection);
    connect(&m_engine, &CFtpEngine::Ended, this, &CServerZoneProbe::OnIdle, Qt::QueuedConnection);
}

void CServerZoneProbe::Start() {
    m_local = QDir(QDir::tempPath())
                  .filePath(QStringLiteral("lumo-zone-check-%1").arg(QCoreApplication::applicationPid()))
                  .toStdString();
    QFile file(QString::fromStdString(m_local));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write("lumo\n") != 5) {
        m_error = QStringLiteral("時間帯を調べるためのファイルを作成できません。");
        QTimer::singleShot(0, this, &CServerZoneProbe::Finished);
        return;
    }
    file.close();
    const std::string remote = (m_folder == "/" ? std::string() : m_folder) + "/" + kFileName;
    m_engine.RunTransfer(Op::Upload{m_local, remote, 0});
    m_engine.ListFolder(
        m_folder, [this](bool complete, std::vector<RemoteEntry> entries) { OnListed(complete, entries); });
    m_engine.RunTransfer(Op::DeleteFile{remote});
}

void CServerZoneProbe::OnListed(bool complete, const std::vector<RemoteEntry>& entries) {
    m_listed = true;
    const std::int64_t listedAt = NowUtc();
    const RemoteEntry* probe = nullptr;
    for (const RemoteEntry& e : entries)
        probe = e.name == kFileName ? &e : probe;
    if (!complete || !probe) {
        m_error = QStringLiteral("時間帯を調べるためのファイルを送れませんでした。");
        return;
    }
    if (probe->modifiedUtc != RemoteEntry::kNoExactTime) {
        m_error = QStringLiteral("このサーバーの一覧は時刻を UTC で示すため、時間帯の設定は使われません。");
        return;
    }
    // Read as if it were UTC: what it is off from the clock is the zone.
    const std::optional<MirrorTime> listed = ListedTimeUtc(probe->date.view(), 0);
    if (!listed || listed->precision != TimePrecision::Minute) {
        m_error = QStringLiteral("サーバーの一覧に時刻がないため、時間帯を調べられません。");
        return;
    }
    // The listing cut the seconds off: the middle of its minute, against the moment it was listed.
    const std::int64_t off = listed->seconds + 30 - listedAt;
    const int minutes = static_cast<int>(std::lround(static_cast<double>(off) / 900.0)) * 15;
    if (std::llabs(off - std::int64_t{minutes} * 60) > kSlackSeconds + 60 || minutes < kWestmost ||
        minutes > kEastmost) {
        m_error = QStringLiteral("サーバーの時計がずれているため、時間帯を決められません。");
        return;
    }
    m_offset = minutes;
}

void CServerZoneProbe::OnIdle() {
    if (m_finished || (!m_listed && m_engine.IsConnected()))
        return;
    m_finished = true;
    QFile::remove(QString::fromStdString(m_local));
    if (!m_listed)
        m_error = QStringLiteral("接続が切れたため、時間帯を調べられませんでした。");
    emit Finished();
}
