#pragma once

#include <QObject>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The host tree as plain data: the registered hosts at the top level, the first being the current
// host with its three fixed children (connection, local, remote root), and below the remote root the
// remote folders visited in this session. The widget only shows it.
class HostTreeModel : public QObject {
    Q_OBJECT
public:
    enum class Kind { Host, Placeholder, Connection, Local, RemoteRoot, Folder };

    struct Node {
        Kind kind = Kind::Folder;
        std::string text; // a folder's text is the server's raw bytes
        int image = 0;    // host icon number for hosts
        int data = 0;     // host number for hosts, -1 for the placeholder
        bool expanded = false;
        Node* parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;
    };

    struct HostEntry {
        int index;
        std::string name;
        int image;
    };

    static const char* const kPlaceholderText;
    static const char* const kConnectText;
    static const char* const kDisconnectText;
    // The connection item while no host is registered: a double click registers one.
    static const char* const kAddHostText;
    static const char* const kLocalText;
    static const char* const kRemoteRootText;

    explicit HostTreeModel(QObject* parent = nullptr);
    ~HostTreeModel() override;

    // The hosts the tree shows: Host0, Host1, ... up to the first missing key, hidden ones left out.
    static std::vector<HostEntry> ReadVisibleHosts();

    // Brings the top-level items in line with the stored hosts; existing items keep their places.
    void FillHostTree();
    void FillHostTree(const std::vector<HostEntry>& hosts);
    // Shows the stored hosts afresh in their stored order, the first on top, as after a start: the
    // hosts have been numbered anew. Only while disconnected (the fixed children are made again).
    void RebuildHostTree();

    const std::vector<std::unique_ptr<Node>>& TopLevel() const { return m_top; }
    Node* TopItem() const { return m_top.empty() ? nullptr : m_top.front().get(); }
    Node* ConnectionItem() const { return m_connection; }
    Node* LocalItem() const { return m_local; }
    Node* RemoteRootItem() const { return m_remoteRoot; }
    Node* CurrentFolderItem() const { return m_currentFolder; }
    bool IsConnected() const { return m_connected; }

    // Host number of the top item; -1 when the tree is empty or shows the placeholder.
    int GetTopHostIndex() const;
    // "Host%d" of the top item; "" when the tree is empty.
    std::string HostKeyName() const;

    enum class MouseSelection { Nothing, FolderChosen, HostMovedToTop };
    // A click selected `node`. A folder becomes the current folder (the caller changes the remote
    // folder to GetCurrentPath()); so does the remote root, or the top host, while connected, which
    // lists "/" again; another host moves to the top while disconnected.
    MouseSelection SelectByMouse(Node* node);
    // The keyboard moved onto `node`: folders as by a click, but hosts stay where they are, so that
    // the keys can walk past them (Enter brings one on top, as a click does).
    MouseSelection SelectByKeyboard(Node* node);

    enum class DoubleClickAction { Nothing, ToggledExpansion, Connect, Disconnect };
    DoubleClickAction DoubleClick(Node* node);

    // Connected to a host that is not registered (an ftp:// link): an item of that name comes on
    // top for the session, with the three fixed children, so that the tree and the status bar name
    // the server really connected. Its host number is -1; the disconnect takes it away again.
    void ShowSessionHost(const std::string& name);
    bool IsSessionHost(const Node* node) const {
        return node && node->kind == Kind::Host && node->data == -1;
    }

    void SetConnectedState(bool connected);
    // Positions the tree on a remote path as the server reports it ("/" is the remote root).
    void SetCurrentFolder(std::string_view path);
    // The remote path of the current folder: "" for the remote root.
    std::string GetCurrentPath() const;
    // The current folder's children become exactly these subfolder names (with a leading "/" in
    // the remote root).
    void SyncFolderChildren(const std::vector<std::string>& listed);
    // True when the option asks to show the current folder expanded after each listing.
    bool FinishTreeUpdate();

signals:
    // Items were added, removed, renamed or moved; the widget refreshes.
    void Changed();

private:
    const char* ConnectionText() const;
    Node* AppendChild(Node* parent, Kind kind, std::string text, int image, int data);
    void RemoveChildren(Node* node);
    bool Contains(const Node* ancestor, const Node* node) const;
    // Moves the fixed children from one top-level item to another.
    void MoveFixedChildren(Node* from, Node* to);
    void DropSessionHost();

    std::vector<std::unique_ptr<Node>> m_top;
    Node* m_connection = nullptr;
    Node* m_local = nullptr;
    Node* m_remoteRoot = nullptr;
    Node* m_currentFolder = nullptr;
    bool m_connected = false;
};
