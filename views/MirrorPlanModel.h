#pragma once

#include "engine/MirrorPlan.h"
#include "engine/MirrorPlanReport.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

// The lines of a mirror's preview: every action of a plan that the person decides on (folders made,
// files sent, conflicts, skips and removals; files only recorded are not shown), each with a tick.
// All are ticked but conflicts, which start unticked: ticking one lets the source win. Skips and
// conflicts that no side can win (a folder on one side, a file on the other) have no tick.
// Texts are made when a view asks for them, so that a plan of 100,000 lines costs no text per line.
class MirrorPlanModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColAction, ColPath, ColSize, ColReason, ColumnCount };

    // `source` and `destination` are the sides the plan was made from, as PlanMirror left them:
    // they tell which way each conflict can go.
    MirrorPlanModel(MirrorPlan plan, MirrorDirection direction, const MirrorSide& source,
                    const MirrorSide& destination, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const MirrorPlan& plan() const { return m_plan; }
    MirrorDirection direction() const { return m_direction; }
    // The plan's action on a line.
    const MirrorAction& ActionAt(int row) const;

    // The plan as ticked: ticked conflicts run as sends (or as removals, where the source no longer
    // has the file), folders are made where a ticked file needs them, and a folder is removed only
    // when everything in it is. Files only recorded and skips stay as they were.
    MirrorPlan ChosenPlan() const;
    // What ChosenPlan would hold, by the kind each action runs as; Conflict counts the conflicts
    // left alone.
    MirrorSummary ChosenSummary() const;

signals:
    // A line was ticked or unticked.
    void ChoiceChanged();

private:
    enum State : std::uint8_t {
        Ticked = 1,
        Tickable = 2,
        // A ticked conflict removes the destination's file: the source has none.
        WinsByRemoval = 4,
    };

    // Calls `take(action, kind)` for each action of the chosen plan, in the order it runs them, with
    // the kind it runs as.
    template <class Take> void ForEachChosen(Take take) const;

    MirrorPlan m_plan;
    MirrorDirection m_direction;
    std::vector<std::uint8_t> m_state; // by action
    std::vector<std::uint32_t> m_rows; // the action on each line
};

// The preview's summary line: "送信 12 件（3.4 MB）、削除 2 件、競合 1 件、スキップ 1 件". Sends are
// "受信" for a download.
QString MirrorSummaryText(const MirrorSummary& summary, MirrorDirection direction);

// A number of bytes as people read it: "512 バイト", "3.4 KB", "12.0 MB".
QString ByteAmountText(std::int64_t bytes);
