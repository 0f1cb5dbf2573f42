#include "views/HostTreeModel.h"

#include "hosts/HostRecord.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <algorithm>
#include <unordered_set>

const char* const HostTreeModel::kPlaceholderText = "登録ホストはありません";
const char* const HostTreeModel::kConnectText = "接続";
const char* const HostTreeModel::kDisconnectText = "切断";
const char* const HostTreeModel::kAddHostText = "ホストを登録";
const char* const HostTreeModel::kLocalText = "ローカル";
const char* const HostTreeModel::kRemoteRootText = "ホスト";

HostTreeModel::HostTreeModel(QObject* parent) : QObject(parent) {}

HostTreeModel::~HostTreeModel() = default;

std::vector<HostTreeModel::HostEntry> HostTreeModel::ReadVisibleHosts() {
    std::vector<HostEntry> hosts;
    for (int n = 0;; ++n) {
        SettingsKey key;
        std::string keyName = ::HostKeyName(n);
        if (!key.OpenKey(KeyFamily::Host, keyName))
            break;
        if (key.ReadDword(SettingName::Hide, 0) != 0)
            continue;
        std::uint32_t icon = key.ReadDword(SettingName::Icon, 0);
        hosts.push_back(
            {n, key.ReadString(SettingName::Name, keyName), icon < 10 ? static_cast<int>(icon) : 0});
    }
    return hosts;
}

void HostTreeModel::FillHostTree() {
    FillHostTree(ReadVisibleHosts());
}

HostTreeModel::Node* HostTreeModel::AppendChild(Node* parent, Kind kind, std::string text, int image,
                                                int data) {
    auto node = std::make_unique<Node>();
    node->kind = kind;
    node->text = std::move(text);
    node->image = image;
    node->data = data;
    node->parent = parent;
    Node* raw = node.get();
    (parent ? parent->children : m_top).push_back(std::move(node));
    return raw;
}

bool HostTreeModel::Contains(const Node* ancestor, const Node* node) const {
    for (; node; node = node->parent) {
        if (node == ancestor)
            return true;
    }
    return false;
}

void HostTreeModel::RemoveChildren(Node* node) {
    if (m_currentFolder && m_currentFolder != node && Contains(node, m_currentFolder))
        m_currentFolder = node->kind == Kind::Folder || node->kind == Kind::RemoteRoot ? node : nullptr;
    node->children.clear();
}

void HostTreeModel::FillHostTree(const std::vector<HostEntry>& hosts) {
    // The session's own item stands aside with the fixed children while the registered hosts are
    // brought in line.
    std::unique_ptr<Node> session;
    if (IsSessionHost(TopItem())) {
        session = std::move(m_top.front());
        m_top.erase(m_top.begin());
    }
    auto findHost = [&](int index) {
        return std::find_if(hosts.begin(), hosts.end(), [&](const HostEntry& h) { return h.index == index; });
    };
    for (size_t i = 0; i < m_top.size();) {
        Node* item = m_top[i].get();
        auto host = item->kind == Kind::Host ? findHost(item->data) : hosts.end();
        if (host != hosts.end()) {
            item->text = host->name;
            item->image = host->image;
            ++i;
            continue;
        }
        if (i == 0 && !session) {
            // The top item takes its fixed children with it.
            m_connection = m_local = m_remoteRoot = m_currentFolder = nullptr;
        }
        m_top.erase(m_top.begin() + static_cast<std::ptrdiff_t>(i));
        i = 0;
    }
    for (const HostEntry& h : hosts) {
        bool shown = std::any_of(m_top.begin(), m_top.end(),
                                 [&](const auto& n) { return n->kind == Kind::Host && n->data == h.index; });
        if (!shown)
            AppendChild(nullptr, Kind::Host, h.name, h.image, h.index);
    }
    if (m_top.empty())
        AppendChild(nullptr, Kind::Placeholder, kPlaceholderText, 0, -1);
    Node* top = m_top.front().get();
    if (top->children.empty() && !session) {
        m_connection = AppendChild(top, Kind::Connection, ConnectionText(), 0, 0);
        m_local = AppendChild(top, Kind::Local, kLocalText, 0, 0);
        m_remoteRoot = AppendChild(top, Kind::RemoteRoot, kRemoteRootText, 0, 0);
        m_currentFolder = m_remoteRoot;
        top->expanded = true;
    }
    if (session)
        m_top.insert(m_top.begin(), std::move(session));
    emit Changed();
}

void HostTreeModel::RebuildHostTree() {
    m_top.clear();
    m_connection = m_local = m_remoteRoot = m_currentFolder = nullptr;
    FillHostTree();
}

const char* HostTreeModel::ConnectionText() const {
    if (m_connected)
        return kDisconnectText;
    const Node* top = TopItem();
    return top && top->kind == Kind::Placeholder ? kAddHostText : kConnectText;
}

int HostTreeModel::GetTopHostIndex() const {
    Node* top = TopItem();
    return top ? top->data : -1;
}

std::string HostTreeModel::HostKeyName() const {
    Node* top = TopItem();
    return top ? ::HostKeyName(top->data) : std::string();
}

HostTreeModel::MouseSelection HostTreeModel::SelectByMouse(Node* node) {
    Node* top = TopItem();
    if (!top || !node)
        return MouseSelection::Nothing;
    if (node == m_remoteRoot || node == top) {
        if (!m_connected || !m_remoteRoot)
            return MouseSelection::Nothing;
        m_currentFolder = m_remoteRoot;
        return MouseSelection::FolderChosen;
    }
    if (node->kind == Kind::Folder) {
        m_currentFolder = node;
        return MouseSelection::FolderChosen;
    }
    if (m_connected || node->parent == top || node == top || node->kind != Kind::Host)
        return MouseSelection::Nothing;
    std::swap(node->text, top->text);
    std::swap(node->image, top->image);
    std::swap(node->data, top->data);
    top->expanded = true;
    emit Changed();
    return MouseSelection::HostMovedToTop;
}

HostTreeModel::MouseSelection HostTreeModel::SelectByKeyboard(Node* node) {
    if (node && node->kind == Kind::Host && node != TopItem())
        return MouseSelection::Nothing;
    return SelectByMouse(node);
}

HostTreeModel::DoubleClickAction HostTreeModel::DoubleClick(Node* node) {
    Node* top = TopItem();
    if (!node || !top)
        return DoubleClickAction::Nothing;
    if (top->kind == Kind::Placeholder) {
        // With no host registered, the placeholder and its connection item lead to the connect
        // command, which then opens the host settings.
        const bool registers = !m_connected && (node == top || node == m_connection);
        return registers ? DoubleClickAction::Connect : DoubleClickAction::Nothing;
    }
    if (node->kind == Kind::Folder) {
        node->expanded = !node->expanded;
        emit Changed();
        return DoubleClickAction::ToggledExpansion;
    }
    if (node == m_connection)
        return m_connected ? DoubleClickAction::Disconnect : DoubleClickAction::Connect;
    return DoubleClickAction::Nothing;
}

void HostTreeModel::MoveFixedChildren(Node* from, Node* to) {
    to->children = std::move(from->children);
    from->children.clear();
    for (auto& child : to->children)
        child->parent = to;
    to->expanded = from->expanded;
}

void HostTreeModel::ShowSessionHost(const std::string& name) {
    if (m_top.empty())
        return;
    if (IsSessionHost(TopItem())) {
        TopItem()->text = name;
        emit Changed();
        return;
    }
    auto session = std::make_unique<Node>();
    session->kind = Kind::Host;
    session->text = name;
    session->data = -1;
    MoveFixedChildren(TopItem(), session.get());
    m_top.insert(m_top.begin(), std::move(session));
    emit Changed();
}

void HostTreeModel::DropSessionHost() {
    if (!IsSessionHost(TopItem()) || m_top.size() < 2)
        return;
    MoveFixedChildren(TopItem(), m_top[1].get());
    m_top.erase(m_top.begin());
}

void HostTreeModel::SetConnectedState(bool connected) {
    m_connected = connected;
    if (!connected)
        DropSessionHost();
    if (m_connection)
        m_connection->text = ConnectionText();
    if (!connected && m_remoteRoot) {
        m_remoteRoot->expanded = false;
        RemoveChildren(m_remoteRoot);
        m_currentFolder = m_remoteRoot;
    }
    emit Changed();
}

void HostTreeModel::SetCurrentFolder(std::string_view path) {
    if (!m_remoteRoot || path.empty())
        return;
    if (path == "/") {
        m_currentFolder = m_remoteRoot;
        emit Changed();
        return;
    }
    // The first component keeps the path's leading "/": "/pub/incoming" gives "/pub" and "incoming".
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string_view part = path.substr(start, i - start);
            if (!part.empty() && part != "/")
                parts.push_back(part);
            start = i + 1;
        }
    }
    Node* parent = m_remoteRoot;
    for (std::string_view part : parts) {
        Node* found = nullptr;
        for (auto& child : parent->children) {
            if (child->text == part) {
                found = child.get();
                break;
            }
        }
        parent = found ? found : AppendChild(parent, Kind::Folder, std::string(part), 0, 0);
    }
    m_currentFolder = parent;
    emit Changed();
}

std::string HostTreeModel::GetCurrentPath() const {
    std::vector<const Node*> chain;
    for (const Node* n = m_currentFolder; n && n != m_remoteRoot && n->kind == Kind::Folder; n = n->parent)
        chain.push_back(n);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin())
            path += '/';
        path += (*it)->text;
    }
    return path;
}

void HostTreeModel::SyncFolderChildren(const std::vector<std::string>& listed) {
    if (!m_currentFolder)
        return;
    // A folder of the root carries the root's "/", as the first component of a PWD path does, so
    // that its path is absolute and the PWD after a change into it finds it instead of adding it
    // a second time.
    std::vector<std::string> rooted;
    if (m_currentFolder == m_remoteRoot) {
        rooted.reserve(listed.size());
        for (const std::string& name : listed)
            rooted.push_back("/" + name);
    }
    const std::vector<std::string>& names = m_currentFolder == m_remoteRoot ? rooted : listed;
    // Sets keep this linear: a folder may hold a hundred thousand subfolders.
    const std::unordered_set<std::string_view> wanted(names.begin(), names.end());
    auto& children = m_currentFolder->children;
    children.erase(std::remove_if(children.begin(), children.end(),
                                  [&](const std::unique_ptr<Node>& c) { return !wanted.count(c->text); }),
                   children.end());
    std::unordered_set<std::string> present;
    for (const auto& c : children)
        present.insert(c->text);
    for (const std::string& name : names) {
        if (present.insert(name).second)
            AppendChild(m_currentFolder, Kind::Folder, name, 0, 0);
    }
    emit Changed();
}

bool HostTreeModel::FinishTreeUpdate() {
    SettingsKey key;
    key.OpenKey(KeyFamily::Option);
    if (key.ReadDword(SettingName::TreeExpand, 0) == 0 || !m_currentFolder)
        return false;
    m_currentFolder->expanded = true;
    emit Changed();
    return true;
}
