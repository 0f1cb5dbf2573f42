#include "engine/MirrorRecord.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

// 2: listed remote times as the server wrote them (1 had them read in the zone set then).
constexpr std::string_view kHeader = "lumo mirror record 2";
constexpr std::string_view kKeyTag = "key\t";

char PrecisionLetter(TimePrecision precision) {
    switch (precision) {
    case TimePrecision::Exact:
        return 'E';
    case TimePrecision::Minute:
        return 'M';
    case TimePrecision::Day:
        return 'D';
    case TimePrecision::Unknown:
        break;
    }
    return 'U';
}

bool PrecisionOf(std::string_view letter, TimePrecision& precision) {
    if (letter.size() != 1)
        return false;
    switch (letter[0]) {
    case 'E':
        precision = TimePrecision::Exact;
        return true;
    case 'M':
        precision = TimePrecision::Minute;
        return true;
    case 'D':
        precision = TimePrecision::Day;
        return true;
    case 'U':
        precision = TimePrecision::Unknown;
        return true;
    }
    return false;
}

bool NumberOf(std::string_view text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

void AppendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendLine(std::string& out, std::string_view path, const MirrorRecordEntry* entry) {
    out += entry ? "f\t" : "x\t";
    out += EscapeField(path);
    if (entry) {
        for (const std::int64_t value :
             {entry->localSize, entry->localNanoseconds, entry->remoteSize, entry->remoteSeconds}) {
            out += '\t';
            AppendNumber(out, value);
        }
        out += '\t';
        out += PrecisionLetter(entry->remotePrecision);
        out += entry->sending ? "\t1" : "\t0";
    }
    out += '\n';
}

// The fields of one line, split at tabs.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

// Applies one entry line to `record`; false for a line that cannot be read.
bool ReadLine(std::string_view line, MirrorRecord& record, std::string& path) {
    const std::vector<std::string_view> f = Fields(line);
    if (f.size() == 2 && f[0] == "x" && UnescapeField(f[1], path) && !path.empty()) {
        record.Forget(path);
        return true;
    }
    MirrorRecordEntry entry;
    if (f.size() != 8 || f[0] != "f" || !UnescapeField(f[1], path) || path.empty() ||
        !NumberOf(f[2], entry.localSize) || !NumberOf(f[3], entry.localNanoseconds) ||
        !NumberOf(f[4], entry.remoteSize) || !NumberOf(f[5], entry.remoteSeconds) ||
        !PrecisionOf(f[6], entry.remotePrecision) || (f[7] != "0" && f[7] != "1"))
        return false;
    entry.sending = f[7] == "1";
    record.Set(path, entry);
    return true;
}

} // namespace

std::string EscapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool UnescapeField(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

const MirrorRecordEntry* MirrorRecord::Find(std::string_view path) const {
    const auto found = m_entries.find(path);
    return found == m_entries.end() ? nullptr : &found->second;
}

void MirrorRecord::Set(std::string_view path, const MirrorRecordEntry& entry) {
    const auto found = m_entries.find(path);
    if (found != m_entries.end())
        found->second = entry;
    else
        m_entries.emplace(std::string(path), entry);
}

void MirrorRecord::Forget(std::string_view path) {
    const auto found = m_entries.find(path);
    if (found != m_entries.end())
        m_entries.erase(found);
}

void MirrorRecord::ForEachSorted(
    const std::function<void(const std::string&, const MirrorRecordEntry&)>& visit) const {
    std::vector<const std::pair<const std::string, MirrorRecordEntry>*> sorted;
    sorted.reserve(m_entries.size());
    for (const auto& entry : m_entries)
        sorted.push_back(&entry);
    std::sort(sorted.begin(), sorted.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
    for (const auto* entry : sorted)
        visit(entry->first, entry->second);
}

std::string MirrorKey::Text() const {
    return EscapeField(host) + '\t' + std::to_string(port) + '\t' + EscapeField(user) + '\t' +
           EscapeField(localFolder) + '\t' + EscapeField(remoteFolder);
}

QString MirrorRecordPath(const QString& baseFolder, const MirrorKey& key) {
    const std::string text = key.Text();
    const QByteArray digest =
        QCryptographicHash::hash(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())),
                                 QCryptographicHash::Sha256)
            .toHex();
    return QDir(baseFolder)
        .filePath(QStringLiteral("mirrors/") + QString::fromLatin1(digest) + QStringLiteral(".rec"));
}

MirrorRecordFile::MirrorRecordFile(const QString& baseFolder, MirrorKey key)
    : m_path(MirrorRecordPath(baseFolder, key)), m_key(std::move(key)) {}

MirrorRecordFile::~MirrorRecordFile() = default;

FileLock::Result MirrorRecordFile::Lock(int waitMs) {
    if (!QDir().mkpath(QFileInfo(m_path).path()))
        return FileLock::Result::Failed;
    if (!m_lock)
        m_lock = std::make_unique<FileLock>(m_path + QStringLiteral(".lock"));
    return m_lock->lock(waitMs);
}

void MirrorRecordFile::Unlock() {
    m_lock.reset();
}

MirrorRecordFile::LoadResult MirrorRecordFile::Load(MirrorRecord& record) {
    record.clear();
    m_droppedLines = 0;
    QFile file(m_path);
    if (!file.exists())
        return LoadResult::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return LoadResult::Unreadable;
    const QByteArray bytes = file.readAll();
    std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const auto nextLine = [&text] {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        return line;
    };
    if (nextLine() != kHeader)
        return LoadResult::Unreadable;
    const std::string_view keyLine = nextLine();
    if (keyLine.substr(0, kKeyTag.size()) != kKeyTag)
        return LoadResult::Unreadable;
    if (keyLine.substr(kKeyTag.size()) != m_key.Text())
        return LoadResult::OtherKey;
    std::string path;
    while (!text.empty()) {
        const std::string_view line = nextLine();
        // A line cut short by a crash while appending, or damaged otherwise, costs only its entry.
        if (!line.empty() && !ReadLine(line, record, path))
            ++m_droppedLines;
    }
    return LoadResult::Loaded;
}

bool MirrorRecordFile::Save(const MirrorRecord& record) {
    if (!QDir().mkpath(QFileInfo(m_path).path()))
        return false;
    std::string text;
    text.reserve(64 + record.size() * 64);
    text += kHeader;
    text += '\n';
    text += kKeyTag;
    text += m_key.Text();
    text += '\n';
    record.ForEachSorted(
        [&text](const std::string& path, const MirrorRecordEntry& entry) { AppendLine(text, path, &entry); });
    QSaveFile file(m_path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) &&
           file.commit();
}

bool MirrorRecordFile::Append(const MirrorRecord& record, const std::vector<std::string>& paths) {
    QFile file(m_path);
    if (!file.exists())
        return Save(record);
    std::string lines;
    for (const std::string& path : paths)
        AppendLine(lines, path, record.Find(path));
    return file.open(QIODevice::WriteOnly | QIODevice::Append) &&
           file.write(lines.data(), static_cast<qint64>(lines.size())) == static_cast<qint64>(lines.size()) &&
           file.flush();
}

QString MirrorRecordBase() {
    const QString config = qEnvironmentVariable("LUMO_CONFIG_DIR");
    if (!config.isEmpty())
        return config;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/lumo");
}
