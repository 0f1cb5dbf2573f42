#include "engine/FtpEngine.h"

#include "engine/LocalNames.h"
#include "engine/RemoteNames.h"

#include <QFileInfo>

#include <algorithm>

// Where a download's bytes go. What to do with the local path is decided before the transfer
// starts; the file is made, emptied or opened for appending only once the server has accepted it,
// and never through a symbolic link. A name this run has written already is never written over
// unless the user says so: several remote names can become one local name (a composed and a
// decomposed "é", two names that decode to the same replacement character).

namespace {
// Numbered names tried beside a clashing one before the download gives up.
constexpr int kMaxNumberedNames = 1000;

// A remote path's bytes, readable in a line of text ("/pub/caf%C3%A9").
std::string PercentEncoded(const std::string& raw) {
    return QByteArray::fromStdString(raw).toPercentEncoding("/").toStdString();
}

// Two remote paths as a log line names them: decoded, so that the line stays one text, and when
// they look alike, with their bytes.
std::string BothNames(const std::string& first, const std::string& second, const NameCodec& names) {
    const QString a = names.Decode(first).normalized(QString::NormalizationForm_C);
    const QString b = names.Decode(second).normalized(QString::NormalizationForm_C);
    const std::string shownA = ShownName(names.Decode(first).toStdString());
    const std::string shownB = ShownName(names.Decode(second).toStdString());
    if (a != b)
        return "「" + shownA + "」と「" + shownB + "」";
    return "「" + shownA + "」(" + PercentEncoded(first) + ") と「" + shownB + "」(" +
           PercentEncoded(second) + ")";
}
} // namespace

void CFtpEngine::NoteWritten(const LocalFileId& id, const std::string& remote) {
    m_run->written[id] = remote;
}

bool CFtpEngine::DecideDownloadTarget(DataConn& conn, ExistingFile existing, bool& cancelled) {
    const LocalEntry entry = InspectLocalPath(conn.localPath);
    const std::string shown = ShownName(conn.localPath);
    if (entry.kind == LocalEntry::Kind::None) {
        // Whether the file can be made is known now; the transfer would otherwise run for nothing.
        const QFileInfo folder(QFileInfo(QString::fromStdString(conn.localPath)).absolutePath());
        if (!folder.isDir() || !folder.isWritable()) {
            LogFailure("ファイルのオープンが失敗しました\r\nダウンロードは正常に行えませんでした\r\n");
            return false;
        }
        conn.open = WriteOpen::CreateNew;
        return true;
    }
    if (entry.kind == LocalEntry::Kind::Folder) {
        LogFailure("「" + shown + "」はフォルダのため、ダウンロードできませんでした。\r\n");
        return false;
    }
    // The same remote file again (a transfer tried anew after its connection dropped) is no clash.
    if (const auto written = m_run->written.find(entry.id); entry.kind == LocalEntry::Kind::File &&
                                                            written != m_run->written.end() &&
                                                            written->second != conn.remotePath) {
        switch (m_ui.AskNameClash(conn.localPath, written->second, conn.remotePath)) {
        case NameClashAnswer::KeepBoth:
            conn.clashWith = written->second;
            return true;
        case NameClashAnswer::Replace:
            conn.open = WriteOpen::Truncate;
            return true;
        case NameClashAnswer::Skip:
            return false;
        case NameClashAnswer::Cancel:
            cancelled = true;
            return false;
        }
    }
    if (existing == ExistingFile::Ask && m_run->replaceAll)
        existing = ExistingFile::Replace;
    if (existing == ExistingFile::Ask) {
        const Answer answer = m_ui.AskFileOverwrite(OverwriteForm::Download, conn.localPath, {},
                                                    std::to_string(std::max<std::int64_t>(conn.expected, 0)));
        if (!IsConnected()) {
            cancelled = true;
            return false;
        }
        const std::optional<ExistingFile> chosen = ExistingFileOfAnswer(answer);
        if (!chosen) {
            cancelled = true;
            return false;
        }
        existing = *chosen;
        m_run->replaceAll = answer == Answer::OverwriteAll;
    }
    switch (existing) {
    case ExistingFile::Keep:
        return false;
    case ExistingFile::Resume:
        break;
    default:
        // A link is replaced by a file of its own when the transfer starts.
        conn.open = WriteOpen::Truncate;
        return true;
    }
    if (entry.kind != LocalEntry::Kind::File) {
        LogFailure("「" + shown + "」は通常のファイルではないため、続きから転送できませんでした。\r\n");
        return false;
    }
    if (!m_ui.IsAsciiMode() && conn.expected >= 0 && entry.size == conn.expected) {
        m_ui.AppendLog("「" + shown + "」はすべて受信済みのため、飛ばしました。\r\n");
        return false;
    }
    const std::int64_t offset = ResumeOffset(entry.size, conn.expected, conn.localPath);
    if (offset < 0)
        return false;
    conn.open = offset == 0 ? WriteOpen::Truncate : WriteOpen::Append;
    conn.offset = offset;
    return true;
}

bool CFtpEngine::OpenDownloadFile(DataConn& conn) {
    if (!conn.clashWith.empty())
        return CreateBesideClash(conn);
    WriteOpen how = conn.open;
    if (how == WriteOpen::Truncate) {
        // Overwriting a link replaces the link, never what it leads to.
        const LocalEntry entry = InspectLocalPath(conn.localPath);
        if (entry.kind == LocalEntry::Kind::Link && !RemoveLocalEntry(conn.localPath))
            return false;
        if (entry.kind == LocalEntry::Kind::Link || entry.kind == LocalEntry::Kind::None)
            how = WriteOpen::CreateNew;
    }
    OpenedFile opened = OpenForWriting(conn.localPath, how);
    if (opened.Exists()) {
        // The name was taken since the download started: by this run, from another remote name
        // (the file goes beside it), or by someone else, whose file stays as it is.
        const LocalEntry entry = InspectLocalPath(conn.localPath);
        const auto written = m_run->written.find(entry.id);
        if (entry.kind == LocalEntry::Kind::File && written != m_run->written.end()) {
            conn.clashWith = written->second;
            return CreateBesideClash(conn);
        }
        LogFailure("「" + ShownName(conn.localPath) +
                   "」が転送の間に作られたため、書き込みませんでした。\r\n");
        return false;
    }
    if (!opened.file)
        return false;
    conn.created = how == WriteOpen::CreateNew;
    NoteWritten(opened.id, conn.remotePath);
    conn.file = std::move(opened.file);
    return true;
}

bool CFtpEngine::CreateBesideClash(DataConn& conn) {
    const std::size_t cut = conn.localPath.find_last_of('/') + 1;
    const std::string folder = conn.localPath.substr(0, cut);
    const QString name = QString::fromStdString(conn.localPath.substr(cut));
    for (int number = 2; number < kMaxNumberedNames; ++number) {
        const std::string candidate = folder + NumberedName(name, number).toStdString();
        OpenedFile opened = OpenForWriting(candidate, WriteOpen::CreateNew);
        if (opened.Exists())
            continue;
        if (!opened.file)
            return false;
        // Kept, yet not what was asked for: a script must learn that the names clashed.
        LogFailure(BothNames(conn.clashWith, conn.remotePath, m_names) + "はどちらも「" +
                   ShownName(conn.localPath) + "」として保存されるため、後のものを「" + ShownName(candidate) +
                   "」に保存しました。\r\n");
        conn.localPath = candidate;
        conn.clashWith.clear();
        conn.created = true;
        NoteWritten(opened.id, conn.remotePath);
        conn.file = std::move(opened.file);
        return true;
    }
    return false;
}

std::string CFtpEngine::LeftOnDisk(DataConn& conn) {
    if (!conn.file)
        return {};
    conn.file.reset();
    const LocalEntry entry = InspectLocalPath(conn.localPath);
    if (conn.created && entry.size == 0) {
        RemoveLocalEntry(conn.localPath);
        return {};
    }
    // More than the server has can never be continued.
    const std::int64_t whole = std::max(conn.expected, conn.announced);
    const bool resumable = !conn.ascii && (whole < 0 || entry.size < whole);
    return "「" + ShownName(conn.localPath) + "」には受信した " + std::to_string(entry.size) +
           " バイトが残っています" + (resumable ? " (続きから転送できます)。\r\n" : "。\r\n");
}

void CFtpEngine::DropDataSide() {
    for (DataConn& conn : m_dataConns) {
        if (conn.msg != WM_FTP_GETDATA)
            continue;
        if (const std::string left = LeftOnDisk(conn); !left.empty())
            m_ui.AppendLog(left);
    }
    m_dataConns.clear();
}
