#include "app/gui/MirrorCommand.h"

#include "app/gui/CMainFrame.h"
#include "engine/FtpEngine.h"
#include "engine/MirrorRun.h"
#include "engine/ServerZoneProbe.h"
#include "gui/dialogs/MirrorFolderDlg.h"
#include "gui/dialogs/MirrorPreviewDlg.h"
#include "hosts/HostMirrorPair.h"
#include "hosts/QXDoc.h"
#include "hosts/ServerZone.h"
#include "platform/TextCodec.h"
#include "settings/MirrorPairs.h"

namespace {

std::string LogLine(const QString& text) {
    return EncodeUtf8(text + QStringLiteral("\r\n"));
}

void ReportEnd(CMainFrame& frame, const CMirrorRun& run) {
    if (!run.Error().isEmpty()) {
        frame.Log().AppendLog(LogLine(run.Error()));
        frame.ShowNote(run.Error());
        return;
    }
    for (const std::string& path : run.FailedPaths())
        frame.Log().AppendLog(
            LogLine(QStringLiteral("ミラーリングできませんでした: %1").arg(QString::fromStdString(path))));
    QString note = QStringLiteral("ミラーリングが終わりました（送信 %1 件、削除 %2 件")
                       .arg(run.FilesSent())
                       .arg(run.EntriesRemoved());
    if (run.ConflictsLeft() > 0)
        note += QStringLiteral("、競合のまま %1 件").arg(run.ConflictsLeft());
    if (!run.FailedPaths().empty())
        note += QStringLiteral("、失敗 %1 件").arg(run.FailedPaths().size());
    note += QStringLiteral("）");
    frame.Log().AppendLog(LogLine(note + QStringLiteral("。")));
    frame.ShowNote(note);
}

// Finds the server's time zone in the pair's folder, keeps it with the host, and plans again.
void DetectZoneThenMirror(CMainFrame& frame, MirrorDirection direction, const std::string& remoteFolder) {
    frame.ShowNote(QStringLiteral("サーバーの時間帯を調べています"));
    auto* probe = new CServerZoneProbe(frame.Engine(), remoteFolder, &frame);
    QObject::connect(probe, &CServerZoneProbe::Finished, &frame, [&frame, probe, direction] {
        probe->deleteLater();
        if (!probe->Offset()) {
            frame.Log().AppendLog(LogLine(probe->Error()));
            frame.ShowNote(probe->Error());
            return;
        }
        const std::string zone = ServerZoneText(*probe->Offset());
        CFtpEngine& engine = frame.Engine();
        // Later mirrors of this session read LIST dates in it too.
        engine.Host().ServerZone = zone;
        HostRecord stored;
        QString line = QStringLiteral("サーバーの時間帯は %1 でした").arg(QString::fromStdString(zone));
        if (engine.HostNumber() >= 0 && frame.Doc().LoadHost(engine.HostNumber(), stored)) {
            stored.ServerZone = zone;
            frame.Doc().SaveHost(engine.HostNumber(), stored);
            line += QStringLiteral("（ホストの設定に記録しました）");
        }
        frame.Log().AppendLog(LogLine(line + QStringLiteral("。")));
        if (engine.IsConnected())
            RunMirrorCommand(frame, direction);
    });
    probe->Start();
}

} // namespace

void RunMirrorCommand(CMainFrame& frame, MirrorDirection direction) {
    // One mirror at a time in a window: a second would share the first's sessions, and one of the
    // same pair would only find its record taken.
    for (const CMirrorRun* run : frame.findChildren<CMirrorRun*>(Qt::FindDirectChildrenOnly)) {
        if (run->IsActive()) {
            const QString busy =
                QStringLiteral("ミラーリングの実行中です。終わってからもう一度実行してください。");
            frame.Log().AppendLog(LogLine(busy));
            frame.ShowNote(busy);
            return;
        }
    }
    CFtpEngine& engine = frame.Engine();
    const HostRecord& host = engine.Host();
    const MirrorPairId pair = HostMirrorPair(host, frame.GetCurrentPath());
    MirrorPairSettings settings = LoadMirrorPair(pair);
    if (settings.localFolder.isEmpty() || !MirrorFolderProblem(settings.localFolder).isEmpty()) {
        const std::optional<MirrorPairSettings> asked =
            AskMirrorPair(&frame, DecodeStoredText(host.Name), pair);
        if (!asked)
            return;
        settings = *asked;
    }
    MirrorJob job;
    job.options.direction = direction;
    job.options.removeAbsent = settings.removeAbsent;
    job.localFolder = settings.localFolder.toStdString();
    job.remoteFolder = pair.remoteFolder;
    job.exclusions = MirrorExclusions::Parse(settings.exclusions);
    job.recordBase = MirrorRecordBase();
    job.options.listZoneMinutes = ServerZoneMinutes(host);
    frame.ShowNote(QStringLiteral("ミラーリングのため、両方のフォルダを調べています"));
    auto* run = new CMirrorRun(engine, frame.TransferQueue(), std::move(job), &frame);
    const QString localFolder = settings.localFolder;
    QObject::connect(run, &CMirrorRun::Planned, &frame, [&frame, run, direction, localFolder, pair] {
        CMirrorPreviewDlg preview(run->Plan(), direction, run->Source(), run->Destination(), localFolder,
                                  pair.remoteFolder, &frame);
        const int result = preview.exec();
        if (result != QDialog::Accepted) {
            // The record is let go first: the next plan locks it again.
            run->Abandon();
            run->deleteLater();
            if (result == CMirrorPreviewDlg::ChangeSettings) {
                if (AskMirrorPair(&frame, DecodeStoredText(frame.Engine().Host().Name), pair))
                    RunMirrorCommand(frame, direction);
                return;
            }
            if (result == CMirrorPreviewDlg::DetectZone) {
                DetectZoneThenMirror(frame, direction, pair.remoteFolder);
                return;
            }
            frame.ShowNote(QStringLiteral("ミラーリングを取りやめました"));
            return;
        }
        run->Run(preview.TakeChosenPlan());
    });
    QObject::connect(run, &CMirrorRun::Finished, &frame, [&frame, run] {
        ReportEnd(frame, *run);
        run->deleteLater();
    });
    run->Start();
}
