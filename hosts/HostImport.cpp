#include "hosts/HostImport.h"

#include "hosts/FileZillaSites.h"
#include "hosts/QXDoc.h"
#include "hosts/WinScpSessions.h"
#include "settings/HostInputRules.h"
#include "settings/PasswordVault.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QFile>

#include <algorithm>
#include <memory>

namespace {

// The sheet's checks of a host's values; the first that fails, or empty.
std::string ProblemOf(const HostRecord& h) {
    auto text = [](const std::string& bytes) { return QString::fromStdString(bytes); };
    const QString name = QStringLiteral("ホスト設定名");
    const QString address = QStringLiteral("ホストアドレス");
    const QString user = QStringLiteral("ユーザ名");
    const QString password = QStringLiteral("パスワード");
    if (h.Adr.empty())
        return "ホストアドレスがありません";
    for (const QString& problem : {
             LineBreakProblem(text(h.Name), name),
             TextLengthProblem(h.Name, name),
             AddressProblem(text(h.Adr), address),
             TextLengthProblem(h.Adr, address),
             LineBreakProblem(text(h.User), user),
             TextLengthProblem(h.User, user),
             LineBreakProblem(text(h.Pass), password),
             PasswordLengthProblem(h.Pass, password),
             TextLengthProblem(h.UpPath, QStringLiteral("アップロードフォルダ")),
             LineBreakProblem(text(h.RemotePath), QStringLiteral("ホスト側のフォルダ")),
             TextLengthProblem(h.RemotePath, QStringLiteral("ホスト側のフォルダ")),
         }) {
        if (!problem.isEmpty())
            return problem.toStdString();
    }
    return {};
}

std::string UniqueName(const std::string& name, const HostList& hosts) {
    auto taken = [&hosts](const std::string& candidate) {
        return std::any_of(hosts.begin(), hosts.end(),
                           [&](const HostRecord& h) { return h.Name == candidate; });
    };
    std::string unique = name;
    for (int n = 2; taken(unique); ++n)
        unique = name + " (" + std::to_string(n) + ")";
    return unique;
}

// Appends the imported hosts to the stored ones in one write; the number of the first, or -1 with
// `problem` said when the store could not be written.
int StoreHosts(CQXDoc& doc, std::vector<ImportEntry>& entries, std::string& problem) {
    HostList all;
    int first = 0;
    {
        // Held from reading the stored hosts to writing them back, so that no other copy of lumo
        // adds a host in between that this write would lose.
        SettingsBatch batch;
        if (!batch.IsHeld()) {
            problem = "設定ファイルをロックできないため、ホストを保存できませんでした";
            return -1;
        }
        all = doc.LoadAllHosts();
        first = static_cast<int>(all.size());
        std::vector<int> origins;
        for (int i = 0; i < first; ++i)
            origins.push_back(i);
        for (ImportEntry& entry : entries) {
            if (!entry.Imported())
                continue;
            entry.host.Name = UniqueName(entry.host.Name, all);
            all.push_back(entry.host);
            origins.push_back(-1);
        }
        if (!doc.SaveAllHosts(all, origins)) {
            problem = "設定ファイルをロックできないため、ホストを保存できませんでした";
            return -1;
        }
    }
    // The file is written as the batch ends; reading the hosts back tells whether it was.
    const HostList stored = doc.LoadAllHosts();
    if (stored.size() < all.size() || !std::equal(all.begin(), all.end(), stored.begin())) {
        problem = "ホストの設定を保存できませんでした";
        return -1;
    }
    return first;
}

} // namespace

ImportSource ReadHostFile(const QString& path) {
    ImportSource out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.problem = "ファイルを開けません（" + file.errorString().toStdString() + "）";
        return out;
    }
    const QByteArray bytes = file.readAll();
    // An XML file begins with "<" (after a byte order mark and blanks); WinSCP.ini with a section.
    QByteArray start = bytes.left(64);
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    out = start.trimmed().startsWith('<') ? ReadFileZillaSites(bytes) : ReadWinScpSessions(bytes);
    for (ImportEntry& entry : out.entries) {
        if (entry.Imported())
            entry.skipReason = ProblemOf(entry.host);
    }
    return out;
}

void ImportHosts(const QString& path, CQXDoc& doc, CPasswordVault& vault,
                 std::function<void(const ImportReport&)> done) {
    auto report = std::make_shared<ImportReport>();
    report->source = ReadHostFile(path);
    std::vector<ImportEntry>& entries = report->source.entries;
    const auto imported =
        std::count_if(entries.begin(), entries.end(), [](const ImportEntry& e) { return e.Imported(); });
    if (!report->source.read || imported == 0) {
        report->problem = report->source.problem;
        done(*report);
        return;
    }
    const int first = StoreHosts(doc, entries, report->problem);
    if (first < 0) {
        done(*report);
        return;
    }
    report->stored = static_cast<int>(imported);
    // The entries whose passwords move, in the order of their passwords.
    std::vector<size_t> moving;
    std::vector<CPasswordVault::StoredPassword> passwords;
    int number = first;
    for (size_t i = 0; i < entries.size(); ++i) {
        const HostRecord& h = entries[i].host;
        if (!entries[i].Imported())
            continue;
        const int hostNumber = number++;
        if (h.Pass.empty())
            continue;
        moving.push_back(i);
        passwords.push_back({KeyFamily::Host, HostKeyName(hostNumber), SettingName::Pass,
                             CPasswordVault::AccountKey(h.User, h.Adr, h.Port)});
    }
    vault.MoveAllToKeyring(
        std::move(passwords), [report, moving, done](const CPasswordVault::Outcomes& outcomes) {
            for (size_t k = 0; k < outcomes.size(); ++k)
                report->source.entries[moving[k]].notes.push_back(
                    outcomes[k] == CPasswordVault::Outcome::Done
                        ? "パスワードはキーリングに保存しました"
                        : "パスワードは lumo の設定ファイルに保存しました（キーリングが使えません）");
            done(*report);
        });
}
