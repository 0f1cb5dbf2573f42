#pragma once

#include "engine/MirrorPlan.h"

#include <QDialog>

class MirrorPlanModel;
class QLabel;
class QPushButton;
class QTreeView;

// The preview of a mirror: both folders, a summary of what is ticked, and every action of the plan on
// a line of its own, each of which can be unticked (conflicts start unticked; ticking one lets the
// source win). 実行 ends it with Accepted, after asking again when the ticked removals take a large
// part of the destination; a plan that may not run at all shows why and cannot be run. Two more
// buttons end it with their own results, after which the caller plans again: the pair's settings
// (folder, removals, exclusions) and finding the server's time zone.
class CMirrorPreviewDlg : public QDialog {
    Q_OBJECT
public:
    // `source` and `destination` are the sides the plan was made from, as PlanMirror left them.
    // `localFolder` as the file system names it; `remoteFolder` as the server's bytes.
    CMirrorPreviewDlg(MirrorPlan plan, MirrorDirection direction, const MirrorSide& source,
                      const MirrorSide& destination, const QString& localFolder,
                      std::string_view remoteFolder, QWidget* parent = nullptr);

    enum Result { ChangeSettings = 2, DetectZone = 3 };

    // The plan as ticked when 実行 was pressed.
    MirrorPlan TakeChosenPlan() { return std::move(m_chosen); }

    MirrorPlanModel& model() const { return *m_model; }
    QTreeView* view() const { return m_view; }
    QLabel* summaryLabel() const { return m_summary; }
    QPushButton* runButton() const { return m_run; }
    QPushButton* settingsButton() const { return m_settings; }
    QPushButton* zoneButton() const { return m_zone; }

private:
    void ShowSummary();
    void Run();
    void FitColumns();

    MirrorPlanModel* m_model;
    QTreeView* m_view;
    QLabel* m_summary;
    QPushButton* m_run;
    QPushButton* m_settings;
    QPushButton* m_zone;
    MirrorPlan m_chosen;
};
