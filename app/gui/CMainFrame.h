#pragma once

#include "app/WindowLayout.h"
#include "engine/EngineUi.h"
#include "views/LogText.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

class AddressLine;
class CFtpEngine;
class FtpLinkOpener;
class CTransferQueue;
class CTransferSessionUi;
class TransferQueueView;
class CMenuBar;
class CProgressStatusBar;
class CQXDoc;
class CQXListView;
class CQXLogView;
class CQXTreeView;
class QAction;
class QActionGroup;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;

// The program's one top-level window: the menu band and the command tool bar, the status bar, and
// the three panes (host tree top left, file list top right, log across the bottom). It keeps its
// layout between runs and routes the numbered commands. It owns the session engine and is the
// engine's way to the views and the dialogs (WindowEngineUi).
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kToolBarSlots = 18;

    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The one frame of the program, or null before it is made and after it is gone.
    static CMainFrame* Instance();

    CQXTreeView* TreeView() const { return m_tree; }
    CQXListView* ListView() const { return m_list; }
    CQXLogView* LogView() const { return m_logView; }
    // The line above the file list that shows the remote folder and takes a typed one or an address.
    AddressLine* AddressBar() const { return m_address; }
    // Opens ftp:// links: from the command line, a second start or the address line.
    FtpLinkOpener& LinkOpener() const { return *m_linkOpener; }
    CProgressStatusBar* StatusBar() const { return m_statusBar; }
    CMenuBar* MenuBand() const { return m_menuBar; }
    QToolBar* CommandToolBar() const { return m_toolBar; }
    QSplitter* OuterSplitter() const { return m_outer; }
    QSplitter* InnerSplitter() const { return m_inner; }
    // The layout read at start-up.
    const WindowLayout& RestoredLayout() const { return m_restored; }

    // The action of a command id; null for ids the program does not know.
    QAction* Action(int id) const { return m_actions.value(id); }
    // Runs a command as if chosen from a menu; false when it is disabled or unknown.
    bool RunCommand(int id);
    // Computes every command's enabled and checked state, and refreshes the status bar's host pane.
    void UpdateCommandUi();

    // Shows or hides the log row.
    void ToggleLog();
    // A word of the window's own in status pane 0 (a cancel that has finished, a login given up, a
    // saved log). It stays while the session stays as it was; what runs next has its own words.
    void ShowNote(const QString& note);
    // Moves the keyboard focus to the next pane: host tree, file list, log, and round again.
    void FocusNextPane();
    // The right-click menu of the file list.
    QMenu* ListContextMenu() const { return m_listMenu; }
    // Where the bands are now: the number of rows and the position of the menu band.
    int BandRows() const;
    int MenuBandPosition() const;
    // The layout as it would be saved now (its size stored from then on).
    WindowLayout CurrentLayout() const;

    CFtpEngine& Engine() const { return *m_engine; }
    CQXDoc& Doc() const { return *m_doc; }
    // The files of downloads and uploads when the host transfers over several sessions.
    CTransferQueue& TransferQueue() const { return *m_queue; }
    TransferQueueView* QueueView() const { return m_queueView; }

    // The window's side of the engine: the views and the dialogs it reaches.
    CEngineUi& EngineUi() const { return *m_engineUi; }
    CLogText& Log() { return m_log; }
    // The current remote folder as the host tree knows it ("" for the root).
    std::string GetCurrentPath() const;
    // The host tree, the drops and the commands follow whether a session runs.
    void SetConnectedState(bool connected);
    // The engine's words for pane 0, with the icon of a file named `iconFor` (none when empty).
    void SetStatusText(const std::string& text, const std::string& iconFor);

signals:
    // A session began (true) or ended (false).
    void ConnectedStateChanged(bool connected);
    // The server refused something, or the engine could not do something asked.
    void EngineRefused();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreatePanes();
    void RestoreBands();
    void RestoreGeometry();
    void SaveLayout();
    void ShowAboutBox();
    // Follows the window's restored rectangle (frame position, inner size) while it is neither
    // maximised nor minimised.
    void TrackNormalRect();
    // A command with a handler; `enabled` decides when it can be chosen (always when empty).
    QAction* AddCommand(int id, const QString& text, std::function<void()> handler,
                        std::function<bool()> enabled = {});

    void OnConnect();
    // The queue pane shows while the queue holds files.
    void CreateQueuePane();
    void OnFolderChosen();
    // The host settings sheet, modal; the tree follows what it stores.
    void OnHostSettings();
    // Hosts from FileZilla's or WinSCP's file: a file chooser, then what was imported and what not.
    void OnImportHosts();
    // The options sheet, modal; the log pane, the session and the tree show what it stores at once.
    void OnOptions();
    // With no host to connect, what the status bar says about registering one; else empty.
    QString HostHint() const;
    void ConnectListView();
    // Pane 0: the window's note while the session is as it was when the note came; else what runs
    // when the engine does not name it itself; else the engine's own text.
    void ShowStatus();
    bool IsConnected() const;
    // The title and the address line follow the session's host and folder.
    void ShowWhereSessionIs();

    CLogText m_log;
    // The document through which the window's sheets write the hosts; its HostsChanged rebuilds the tree.
    CQXDoc* m_doc = nullptr;
    std::unique_ptr<CEngineUi> m_engineUi;
    // The browsing session's UI: the window's, with the queue told of its transfers.
    std::unique_ptr<CTransferSessionUi> m_sessionUi;
    std::unique_ptr<CFtpEngine> m_engine;
    std::unique_ptr<CTransferQueue> m_queue;
    TransferQueueView* m_queueView = nullptr;
    WindowLayout m_restored;
    QRect m_normalRect;
    QHash<int, QAction*> m_actions;
    QHash<int, std::function<bool()>> m_enableRules;
    CMenuBar* m_menuBar = nullptr;
    QToolBar* m_toolBar = nullptr;
    CProgressStatusBar* m_statusBar = nullptr;
    QSplitter* m_outer = nullptr;
    QSplitter* m_inner = nullptr;
    CQXTreeView* m_tree = nullptr;
    CQXListView* m_list = nullptr;
    AddressLine* m_address = nullptr;
    FtpLinkOpener* m_linkOpener = nullptr;
    CQXLogView* m_logView = nullptr;
    QMenu* m_treeMenu = nullptr;
    QMenu* m_listMenu = nullptr;
    QMenu* m_viewStyleMenu = nullptr;
    QActionGroup* m_modeGroup = nullptr;
    QActionGroup* m_viewGroup = nullptr;
    QTimer* m_idleUpdate = nullptr;
    // What the engine last put in pane 0.
    QString m_engineStatus;
    QIcon m_engineStatusIcon;
    // The window's note, and the session's state (busy, operation) when it came.
    struct Note {
        QString text;
        bool busy = false;
        int operation = 0;
    } m_note;
    // A cancel was asked for; its end is noted when the session rests again.
    bool m_cancelling = false;
};
