#include "engine/FolderRows.h"

#include "platform/MemoryPages.h"
#include "platform/TextCodec.h"

#include <QCollator>

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace {

long long sizeValue(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

} // namespace

void FolderRows::MakeRow(Row& row) {
    // A symbolic link is shown and handled as a folder, under its own name.
    if (row.link)
        row.attributes[0] = 'd';
    if (row.IsFolder())
        row.size.clear();
}

QString FolderRows::ShownName(const Row& r) {
    // The new-folder row's name is the list's own text, whatever the session's set.
    return IsPlaceholder(r) ? QString::fromUtf8(kNewFolderName) : DecodeRemoteName(r.name);
}

QStringView FolderRows::ShownNameIn(const Row& r, QString& buffer) {
    if (IsPlaceholder(r) || !ReadsAsAscii(r.name)) {
        buffer = ShownName(r);
        return buffer;
    }
    buffer.resize(static_cast<qsizetype>(r.name.size()));
    QChar* out = buffer.data();
    for (char c : r.name)
        *out++ = QLatin1Char(c);
    return buffer;
}

namespace {

// Lowercase letters, digits, '-' and '.' each have an order of their own in the C, English and
// Japanese collations, the same as their bytes', so names of nothing else compare as bytes.
bool collatesAsBytes(const QCollator& collator) {
    const QLocale::Language language = collator.locale().language();
    return language == QLocale::C || language == QLocale::English || language == QLocale::Japanese;
}

bool plainName(const std::string& name) {
    for (char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'))
            return false;
    }
    return true;
}

} // namespace

std::vector<size_t> FolderRows::ListedInNameOrder() const {
    // Checking neighbours costs far less than a sort key per name. Entries go in at the top, so the
    // sort keeps equal names in the reverse of the listing's order: a group in the listing's order
    // must be strictly ascending, and one against it may hold equal names.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseSensitive);
    const bool bytesWillDo = collatesAsBytes(collator);
    // Two buffers in turn: the name before stays in one while the next is written into the other.
    QString buffers[2];
    std::vector<size_t> order;
    order.reserve(m_rows.size());
    PrepareForWriting(order.data(), m_rows.size() * sizeof(size_t));
    for (bool folders : {true, false}) {
        const size_t start = order.size();
        for (size_t i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].IsFolder() == folders)
                order.push_back(i);
        }
        bool ascending = true;
        bool descending = true;
        const Row* before = nullptr;
        bool beforePlain = false;
        QStringView beforeShown;
        for (size_t k = start; k < order.size() && (ascending || descending); ++k) {
            const Row& row = m_rows[order[k]];
            const bool plain = bytesWillDo && !IsPlaceholder(row) && plainName(row.name);
            QStringView shown;
            if (before) {
                int c;
                if (plain && beforePlain) {
                    c = before->name.compare(row.name);
                } else {
                    if (beforeShown.isNull())
                        beforeShown = ShownNameIn(*before, buffers[(k + 1) & 1]);
                    shown = ShownNameIn(row, buffers[k & 1]);
                    c = collator.compare(beforeShown, shown);
                }
                ascending = ascending && c < 0;
                descending = descending && c >= 0;
            }
            before = &row;
            beforePlain = plain;
            beforeShown = shown;
        }
        if (!ascending && !descending)
            return {};
        if (!ascending)
            std::reverse(order.begin() + static_cast<std::ptrdiff_t>(start), order.end());
    }
    return order;
}

std::vector<std::string> FolderRows::Fill(std::vector<RemoteEntry> entries) {
    m_rows = std::move(entries);
    std::vector<std::string> subfolders;
    for (Row& row : m_rows) {
        MakeRow(row);
        if (row.IsFolder())
            subfolders.push_back(row.name);
    }
    m_order = ListedInNameOrder();
    if (m_order.size() != m_rows.size()) {
        // Each entry goes in at the top, so the listing's order ends up reversed before the sort.
        m_order.resize(m_rows.size());
        std::iota(m_order.rbegin(), m_order.rend(), size_t(0));
        Sort(ColName, true);
    }
    return subfolders;
}

int FolderRows::Insert(int pos, Row row) {
    MakeRow(row);
    pos = std::clamp(pos, 0, Count());
    m_rows.push_back(std::move(row));
    m_order.insert(m_order.begin() + pos, m_rows.size() - 1);
    return pos;
}

void FolderRows::Remove(int row) {
    if (row < 0 || row >= Count())
        return;
    // The last stored row takes the place of the removed one.
    const size_t gone = m_order[static_cast<size_t>(row)];
    m_order.erase(m_order.begin() + row);
    const size_t last = m_rows.size() - 1;
    if (gone != last) {
        m_rows[gone] = std::move(m_rows[last]);
        *std::find(m_order.begin(), m_order.end(), last) = gone;
    }
    m_rows.pop_back();
}

void FolderRows::Clear() {
    m_rows.clear();
    m_order.clear();
}

std::vector<size_t> FolderRows::Sort(int column, bool ascending) {
    const size_t n = m_order.size();
    // Keys by position in the list.
    std::vector<QCollatorSortKey> nameKeys;
    if (column == ColName) {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseSensitive);
        nameKeys.reserve(n);
        for (size_t i : m_order)
            nameKeys.push_back(collator.sortKey(ShownName(m_rows[i])));
    }
    std::vector<long long> sizes;
    if (column == ColSize) {
        sizes.reserve(n);
        for (size_t i : m_order)
            sizes.push_back(sizeValue(m_rows[i].size));
    }
    auto row = [this](size_t position) -> const Row& { return m_rows[m_order[position]]; };
    // Three-way comparison of the rows at positions a and b; the folder rule comes first, and a
    // descending sort negates the whole comparison, so folders then come last.
    auto compare = [&](size_t a, size_t b) -> int {
        bool fa = row(a).IsFolder(), fb = row(b).IsFolder();
        if (fa != fb)
            return fa ? -1 : 1;
        switch (column) {
        case ColName:
            return nameKeys[a].compare(nameKeys[b]);
        case ColSize:
            return sizes[a] < sizes[b] ? -1 : sizes[a] > sizes[b] ? 1 : 0;
        case ColDate:
            return row(a).date.compare(row(b).date);
        default:
            return row(a).attributes.compare(row(b).attributes);
        }
    };
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        int c = compare(a, b);
        return ascending ? c < 0 : c > 0;
    });
    std::vector<size_t> sorted(n);
    for (size_t k = 0; k < n; ++k)
        sorted[k] = m_order[order[k]];
    m_order = std::move(sorted);
    return order;
}

std::vector<FileListRow> FolderRows::EngineRows() const {
    std::vector<FileListRow> rows;
    rows.reserve(m_order.size());
    for (int i = 0; i < Count(); ++i)
        rows.push_back(EngineRow(i));
    return rows;
}

std::vector<FileListRow> FolderRows::EngineRowsNamed(const std::string& name) const {
    std::vector<FileListRow> rows;
    for (int i = 0; i < Count(); ++i) {
        if (At(i).name == name)
            rows.push_back(EngineRow(i));
    }
    return rows;
}

int FolderRows::Find(const std::string& rawName, const QString& shownName) const {
    for (int i = 0; i < Count(); ++i) {
        const Row& r = At(i);
        if (!IsPlaceholder(r) && (r.name == rawName || ShownName(r) == shownName))
            return i;
    }
    return -1;
}

QString FolderRows::Text(int row, int column) const {
    if (row < 0 || row >= Count())
        return {};
    const Row& r = At(row);
    switch (column) {
    case ColName:
        return ShownName(r);
    case ColSize:
        return QString::fromLatin1(r.size.data(), static_cast<qsizetype>(r.size.size()));
    case ColDate:
        return QString::fromLatin1(r.date.data(), static_cast<qsizetype>(r.date.size()));
    case ColAttributes:
        return DecodeRemoteName(r.attributes);
    default:
        return {};
    }
}
