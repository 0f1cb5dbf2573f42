#include "views/MirrorPlanModel.h"

#include <QStringList>

#include <string_view>
#include <unordered_set>

namespace {

std::string_view ParentOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

QString ActionText(const MirrorAction& action, MirrorDirection direction) {
    switch (action.kind) {
    case MirrorAction::MakeFolder:
        return QStringLiteral("フォルダ作成");
    case MirrorAction::Send:
        return direction == MirrorDirection::Up ? QStringLiteral("送信") : QStringLiteral("受信");
    case MirrorAction::Conflict:
        return QStringLiteral("競合");
    case MirrorAction::Skip:
        return QStringLiteral("スキップ");
    case MirrorAction::Remove:
        return QStringLiteral("削除");
    case MirrorAction::RecordOnly:
        break;
    }
    return {};
}

QString PathText(const MirrorAction& action) {
    QString text = QString::fromUtf8(action.path.data(), static_cast<qsizetype>(action.path.size()));
    if (action.folder)
        text += QLatin1Char('/');
    return text;
}

} // namespace

MirrorPlanModel::MirrorPlanModel(MirrorPlan plan, MirrorDirection direction, const MirrorSide& source,
                                 const MirrorSide& destination, QObject* parent)
    : QAbstractTableModel(parent), m_plan(std::move(plan)), m_direction(direction),
      m_state(m_plan.actions.size(), 0) {
    for (std::size_t i = 0; i < m_plan.actions.size(); ++i) {
        const MirrorAction& action = m_plan.actions[i];
        std::uint8_t& state = m_state[i];
        switch (action.kind) {
        case MirrorAction::MakeFolder:
        case MirrorAction::Send:
        case MirrorAction::Remove:
            state = Ticked | Tickable;
            break;
        case MirrorAction::Conflict: {
            const MirrorEntry* s = FindEntry(source, action.path);
            const MirrorEntry* d = FindEntry(destination, action.path);
            if (!s && d && !d->folder)
                state = Tickable | WinsByRemoval;
            else if (s && d && !s->folder && !d->folder)
                state = Tickable;
            break;
        }
        case MirrorAction::RecordOnly:
        case MirrorAction::Skip:
            break;
        }
        if (action.kind != MirrorAction::RecordOnly && action.kind != MirrorAction::Remove)
            m_rows.push_back(static_cast<std::uint32_t>(i));
    }
    // Removals run contents first; read backwards they are in the order of the other lines, each
    // folder before what it holds.
    for (std::size_t i = m_plan.actions.size(); i-- > 0;) {
        if (m_plan.actions[i].kind == MirrorAction::Remove)
            m_rows.push_back(static_cast<std::uint32_t>(i));
    }
}

int MirrorPlanModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int MirrorPlanModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

const MirrorAction& MirrorPlanModel::ActionAt(int row) const {
    return m_plan.actions[m_rows[static_cast<std::size_t>(row)]];
}

QVariant MirrorPlanModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const std::size_t at = m_rows[static_cast<std::size_t>(index.row())];
    const MirrorAction& action = m_plan.actions[at];
    const std::uint8_t state = m_state[at];
    if (role == Qt::CheckStateRole && index.column() == ColAction && (state & Tickable))
        return (state & Ticked) ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue((index.column() == ColSize ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case ColAction:
        return ActionText(action, m_direction);
    case ColPath:
        return PathText(action);
    case ColSize:
        return action.folder || action.size < 0 ? QString() : QString::number(action.size);
    case ColReason:
        return QString::fromUtf8(action.reason);
    default:
        return {};
    }
}

bool MirrorPlanModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rowCount() || index.column() != ColAction ||
        role != Qt::CheckStateRole)
        return false;
    std::uint8_t& state = m_state[m_rows[static_cast<std::size_t>(index.row())]];
    if (!(state & Tickable))
        return false;
    const bool ticked = value.value<Qt::CheckState>() == Qt::Checked;
    if (ticked == bool(state & Ticked))
        return true;
    state ^= Ticked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit ChoiceChanged();
    return true;
}

Qt::ItemFlags MirrorPlanModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == ColAction && index.row() < rowCount() &&
        (m_state[m_rows[static_cast<std::size_t>(index.row())]] & Tickable))
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant MirrorPlanModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const names[ColumnCount] = {"操作", "パス", "サイズ", "理由"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(names[section]) : QVariant();
}

template <class Take> void MirrorPlanModel::ForEachChosen(Take take) const {
    const auto& actions = m_plan.actions;
    std::vector<bool> chosen(actions.size(), false);
    // Walking backwards meets a folder's contents before the folder: a folder is made when something
    // chosen in it needs it, or when it is ticked and holds no file to decide on at all.
    std::unordered_set<std::string_view> needed;
    std::unordered_set<std::string_view> holdsFiles;
    for (std::size_t i = actions.size(); i-- > 0;) {
        const MirrorAction& a = actions[i];
        const bool ticked = (m_state[i] & (Ticked | Tickable)) == (Ticked | Tickable);
        switch (a.kind) {
        case MirrorAction::MakeFolder:
            chosen[i] = needed.count(a.path) || (ticked && !holdsFiles.count(a.path));
            if (holdsFiles.count(a.path))
                holdsFiles.insert(ParentOf(a.path));
            break;
        case MirrorAction::Send:
        case MirrorAction::Conflict:
            chosen[i] = ticked;
            holdsFiles.insert(ParentOf(a.path));
            break;
        case MirrorAction::RecordOnly:
        case MirrorAction::Skip:
            chosen[i] = true;
            break;
        case MirrorAction::Remove:
            break;
        }
        if (chosen[i] && a.kind != MirrorAction::Skip && a.kind != MirrorAction::RecordOnly)
            needed.insert(ParentOf(a.path));
    }
    // Removals come contents first: a folder goes only when nothing in it stays.
    std::unordered_set<std::string_view> keeps;
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const MirrorAction& a = actions[i];
        if (a.kind != MirrorAction::Remove)
            continue;
        chosen[i] = (m_state[i] & Ticked) && !(a.folder && keeps.count(a.path));
        if (!chosen[i])
            keeps.insert(ParentOf(a.path));
    }
    const auto removes = [this](std::size_t i) {
        return m_plan.actions[i].kind == MirrorAction::Remove ||
               (m_plan.actions[i].kind == MirrorAction::Conflict && (m_state[i] & WinsByRemoval));
    };
    for (std::size_t i = 0; i < actions.size(); ++i) {
        if (chosen[i] && !removes(i))
            take(actions[i],
                 actions[i].kind == MirrorAction::Conflict ? MirrorAction::Send : actions[i].kind);
    }
    // A file that only a ticked conflict removes lies in a folder that stays: it may go before the
    // other removals.
    for (std::size_t i = 0; i < actions.size(); ++i) {
        if (chosen[i] && actions[i].kind == MirrorAction::Conflict && removes(i))
            take(actions[i], MirrorAction::Remove);
    }
    for (std::size_t i = 0; i < actions.size(); ++i) {
        if (chosen[i] && actions[i].kind == MirrorAction::Remove)
            take(actions[i], MirrorAction::Remove);
    }
}

MirrorPlan MirrorPlanModel::ChosenPlan() const {
    MirrorPlan chosen;
    chosen.stopReason = m_plan.stopReason;
    chosen.removalsWithheld = m_plan.removalsWithheld;
    chosen.clashFolders = m_plan.clashFolders;
    chosen.destinationFiles = m_plan.destinationFiles;
    ForEachChosen([&chosen](const MirrorAction& action, MirrorAction::Kind kind) {
        chosen.actions.push_back(action);
        chosen.actions.back().kind = kind;
        chosen.removedFiles += kind == MirrorAction::Remove && !action.folder;
    });
    // The planner's rule, on what is left of its removals and what the conflicts add.
    chosen.needsConfirmation = chosen.removedFiles > 10 && chosen.removedFiles * 4 > chosen.destinationFiles;
    return chosen;
}

MirrorSummary MirrorPlanModel::ChosenSummary() const {
    MirrorSummary summary;
    std::int64_t conflictsTaken = 0;
    ForEachChosen([&](const MirrorAction& action, MirrorAction::Kind kind) {
        ++summary.count[kind];
        conflictsTaken += action.kind == MirrorAction::Conflict;
        if (action.size > 0 && (kind == MirrorAction::Send || kind == MirrorAction::Remove))
            summary.bytes[kind] += action.size;
    });
    for (const MirrorAction& action : m_plan.actions)
        summary.count[MirrorAction::Conflict] += action.kind == MirrorAction::Conflict;
    summary.count[MirrorAction::Conflict] -= conflictsTaken;
    return summary;
}

QString ByteAmountText(std::int64_t bytes) {
    if (bytes < 1024)
        return QStringLiteral("%1 バイト").arg(bytes);
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    double amount = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (amount >= 1024.0 && unit + 1 < std::size(units)) {
        amount /= 1024.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(amount, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

QString MirrorSummaryText(const MirrorSummary& summary, MirrorDirection direction) {
    const auto count = [&summary](MirrorAction::Kind kind) { return summary.count[kind]; };
    const auto withBytes = [&summary](MirrorAction::Kind kind, const QString& word) {
        QString text = QStringLiteral("%1 %2 件").arg(word).arg(summary.count[kind]);
        if (summary.bytes[kind] > 0)
            text += QStringLiteral("（%1）").arg(ByteAmountText(summary.bytes[kind]));
        return text;
    };
    QStringList parts;
    parts << withBytes(MirrorAction::Send,
                       direction == MirrorDirection::Up ? QStringLiteral("送信") : QStringLiteral("受信"));
    if (count(MirrorAction::MakeFolder) > 0)
        parts << QStringLiteral("フォルダ作成 %1 件").arg(count(MirrorAction::MakeFolder));
    if (count(MirrorAction::Remove) > 0)
        parts << withBytes(MirrorAction::Remove, QStringLiteral("削除"));
    if (count(MirrorAction::Conflict) > 0)
        parts << QStringLiteral("競合 %1 件").arg(count(MirrorAction::Conflict));
    if (count(MirrorAction::Skip) > 0)
        parts << QStringLiteral("スキップ %1 件").arg(count(MirrorAction::Skip));
    return parts.join(QStringLiteral("、"));
}
