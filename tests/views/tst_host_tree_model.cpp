#include "StoreFixture.h"
#include "hosts/QXDoc.h"
#include "settings/SettingsKey.h"
#include "views/HostTreeModel.h"

#include <QtTest>

using Kind = HostTreeModel::Kind;

class TestHostTreeModel : public QObject {
    Q_OBJECT
private slots:
    void hiddenHostsAndPlaceholder();
    void clickingAHostSwapsItToTheTopOnlyWhileDisconnected();
    void fillKeepsPlacesAndRemovesVanishedHosts();
    void currentFolderFollowsPwd();
    void syncFolderChildren();
    void disconnectRemovesFolders();
    void doubleClicks();
    void sessionHostOnTopWhileConnected();
    void treeexpandOption();
};

namespace {
std::vector<std::string> topTexts(const HostTreeModel& t) {
    std::vector<std::string> out;
    for (const auto& n : t.TopLevel())
        out.push_back(n->text);
    return out;
}
std::vector<std::string> childTexts(const HostTreeModel::Node* n) {
    std::vector<std::string> out;
    for (const auto& c : n->children)
        out.push_back(c->text);
    return out;
}
HostTreeModel::Node* child(HostTreeModel::Node* n, const std::string& text) {
    for (const auto& c : n->children) {
        if (c->text == text)
            return c.get();
    }
    return nullptr;
}
} // namespace

void TestHostTreeModel::hiddenHostsAndPlaceholder() {
    StoreFixture fx;
    HostTreeModel tree;
    tree.FillHostTree();
    QCOMPARE(topTexts(tree), std::vector<std::string>{"登録ホストはありません"});
    QCOMPARE(tree.GetTopHostIndex(), -1);
    QCOMPARE(tree.TopItem()->kind, Kind::Placeholder);

    CQXDoc doc;
    HostRecord a, b;
    a.Name = "alpha";
    b.Name = "beta";
    b.Hide = 1;
    doc.SaveAllHosts({a, b});
    {
        // A host without a name shows its key name; a number without a picture shows the first one.
        SettingsKey k;
        QVERIFY(k.CreateKey(KeyFamily::Host, "Host2"));
        k.WriteDword("icon", 12);
    }
    tree.FillHostTree();
    QCOMPARE(topTexts(tree), (std::vector<std::string>{"alpha", "Host2"}));
    QCOMPARE(tree.TopLevel()[1]->data, 2);
    QCOMPARE(tree.TopLevel()[1]->image, 0);
    QCOMPARE(childTexts(tree.TopItem()), (std::vector<std::string>{"接続", "ローカル", "ホスト"}));
    QCOMPARE(tree.HostKeyName(), std::string("Host0"));
}

void TestHostTreeModel::clickingAHostSwapsItToTheTopOnlyWhileDisconnected() {
    HostTreeModel tree;
    tree.FillHostTree({{0, "first", 1}, {2, "third", 3}});
    HostTreeModel::Node* third = tree.TopLevel()[1].get();
    QCOMPARE(tree.SelectByMouse(tree.ConnectionItem()), HostTreeModel::MouseSelection::Nothing);
    // The keys walk past a host; a click brings it on top.
    QCOMPARE(tree.SelectByKeyboard(third), HostTreeModel::MouseSelection::Nothing);
    QCOMPARE(tree.GetTopHostIndex(), 0);
    QCOMPARE(tree.SelectByMouse(third), HostTreeModel::MouseSelection::HostMovedToTop);
    QCOMPARE(topTexts(tree), (std::vector<std::string>{"third", "first"}));
    QCOMPARE(tree.GetTopHostIndex(), 2);
    QCOMPARE(tree.TopItem()->image, 3);
    QCOMPARE(tree.HostKeyName(), std::string("Host2"));
    // The fixed children stay with the top item.
    QCOMPARE(childTexts(tree.TopItem()), (std::vector<std::string>{"接続", "ローカル", "ホスト"}));
    QVERIFY(tree.TopLevel()[1]->children.empty());

    tree.SetConnectedState(true);
    QCOMPARE(tree.SelectByMouse(tree.TopLevel()[1].get()), HostTreeModel::MouseSelection::Nothing);
    QCOMPARE(tree.GetTopHostIndex(), 2);
}

void TestHostTreeModel::fillKeepsPlacesAndRemovesVanishedHosts() {
    HostTreeModel tree;
    tree.FillHostTree({{0, "a", 0}, {1, "b", 0}, {2, "c", 0}});
    tree.SelectByMouse(tree.TopLevel()[2].get()); // c on top: c, b, a
    QCOMPARE(topTexts(tree), (std::vector<std::string>{"c", "b", "a"}));
    tree.FillHostTree({{0, "a2", 0}, {1, "b", 0}, {2, "c", 0}, {3, "d", 0}});
    QCOMPARE(topTexts(tree), (std::vector<std::string>{"c", "b", "a2", "d"}));
    QCOMPARE(tree.TopItem()->children.size(), size_t(3));
    // The top host goes: the next one becomes the top with new fixed children.
    tree.FillHostTree({{0, "a2", 0}, {1, "b", 0}});
    QCOMPARE(topTexts(tree), (std::vector<std::string>{"b", "a2"}));
    QCOMPARE(childTexts(tree.TopItem()), (std::vector<std::string>{"接続", "ローカル", "ホスト"}));
    QCOMPARE(tree.GetTopHostIndex(), 1);
    tree.FillHostTree({});
    QCOMPARE(tree.GetTopHostIndex(), -1);
}

void TestHostTreeModel::currentFolderFollowsPwd() {
    HostTreeModel tree;
    tree.FillHostTree({{0, "a", 0}});
    tree.SetConnectedState(true);
    tree.SetCurrentFolder("/");
    QCOMPARE(tree.CurrentFolderItem(), tree.RemoteRootItem());
    QCOMPARE(tree.GetCurrentPath(), std::string());

    tree.SetCurrentFolder("/a/c");
    QCOMPARE(tree.GetCurrentPath(), std::string("/a/c"));
    tree.SetCurrentFolder("/a//b/");
    QCOMPARE(tree.GetCurrentPath(), std::string("/a/b"));
    HostTreeModel::Node* a = child(tree.RemoteRootItem(), "/a");
    QVERIFY(a);
    QCOMPARE(childTexts(a), (std::vector<std::string>{"c", "b"}));

    tree.SetCurrentFolder("/pub/incoming");
    QCOMPARE(childTexts(tree.RemoteRootItem()), (std::vector<std::string>{"/a", "/pub"}));
    QCOMPARE(tree.GetCurrentPath(), std::string("/pub/incoming"));
    tree.SetCurrentFolder(""); // nothing
    QCOMPARE(tree.GetCurrentPath(), std::string("/pub/incoming"));

    // A click on a folder item makes it current.
    QCOMPARE(tree.SelectByMouse(child(a, "c")), HostTreeModel::MouseSelection::FolderChosen);
    QCOMPARE(tree.GetCurrentPath(), std::string("/a/c"));
    // The root, and the host on top, lead back to "/" while connected; the keys pass other hosts by.
    QCOMPARE(tree.SelectByMouse(tree.RemoteRootItem()), HostTreeModel::MouseSelection::FolderChosen);
    QCOMPARE(tree.GetCurrentPath(), std::string());
    tree.SetCurrentFolder("/a/c");
    QCOMPARE(tree.SelectByKeyboard(tree.TopItem()), HostTreeModel::MouseSelection::FolderChosen);
    QCOMPARE(tree.CurrentFolderItem(), tree.RemoteRootItem());
    QCOMPARE(tree.SelectByKeyboard(child(a, "b")), HostTreeModel::MouseSelection::FolderChosen);
    QCOMPARE(tree.GetCurrentPath(), std::string("/a/b"));
    tree.SetConnectedState(false);
    QCOMPARE(tree.SelectByMouse(tree.RemoteRootItem()), HostTreeModel::MouseSelection::Nothing);
    QCOMPARE(tree.SelectByMouse(tree.TopItem()), HostTreeModel::MouseSelection::Nothing);
}

void TestHostTreeModel::syncFolderChildren() {
    HostTreeModel tree;
    tree.FillHostTree({{0, "a", 0}});
    tree.SetConnectedState(true);
    tree.SetCurrentFolder("/pub");
    tree.SyncFolderChildren({"x", "y"});
    HostTreeModel::Node* pub = tree.CurrentFolderItem();
    QCOMPARE(childTexts(pub), (std::vector<std::string>{"x", "y"}));
    tree.SyncFolderChildren({"z", "y"});
    QCOMPARE(childTexts(pub), (std::vector<std::string>{"y", "z"}));
    tree.SyncFolderChildren({});
    QVERIFY(pub->children.empty());

    // In the root the folders are named by their absolute paths, so the PWD after a change into
    // one of them finds that item, and choosing one from deeper down leads to it and not below.
    tree.SetCurrentFolder("/");
    tree.SyncFolderChildren({"pub", "sub"});
    QCOMPARE(childTexts(tree.RemoteRootItem()), (std::vector<std::string>{"/pub", "/sub"}));
    QCOMPARE(tree.RemoteRootItem()->children.front().get(), pub);
    HostTreeModel::Node* sub = child(tree.RemoteRootItem(), "/sub");
    tree.SetCurrentFolder("/sub");
    QCOMPARE(tree.CurrentFolderItem(), sub);
    QCOMPARE(childTexts(tree.RemoteRootItem()), (std::vector<std::string>{"/pub", "/sub"}));
    tree.SetCurrentFolder("/pub");
    QCOMPARE(tree.SelectByMouse(sub), HostTreeModel::MouseSelection::FolderChosen);
    QCOMPARE(tree.GetCurrentPath(), std::string("/sub"));
}

void TestHostTreeModel::disconnectRemovesFolders() {
    HostTreeModel tree;
    tree.FillHostTree({{0, "a", 0}});
    tree.SetConnectedState(true);
    QCOMPARE(tree.ConnectionItem()->text, std::string("切断"));
    tree.SetCurrentFolder("/a/b");
    tree.SetConnectedState(false);
    QCOMPARE(tree.ConnectionItem()->text, std::string("接続"));
    QVERIFY(tree.RemoteRootItem()->children.empty());
    QCOMPARE(tree.GetCurrentPath(), std::string());
}

void TestHostTreeModel::doubleClicks() {
    HostTreeModel tree;
    tree.FillHostTree({});
    // With no host, the placeholder's connection item offers to register one; a double click on it
    // or on the placeholder runs the connect command, which opens the host settings.
    QCOMPARE(tree.ConnectionItem()->text, std::string("ホストを登録"));
    QCOMPARE(tree.DoubleClick(tree.ConnectionItem()), HostTreeModel::DoubleClickAction::Connect);
    QCOMPARE(tree.DoubleClick(tree.TopItem()), HostTreeModel::DoubleClickAction::Connect);
    QCOMPARE(tree.DoubleClick(tree.LocalItem()), HostTreeModel::DoubleClickAction::Nothing);
    tree.FillHostTree({{0, "a", 0}});
    QCOMPARE(tree.ConnectionItem()->text, std::string("接続"));
    QCOMPARE(tree.DoubleClick(tree.ConnectionItem()), HostTreeModel::DoubleClickAction::Connect);
    tree.SetConnectedState(true);
    QCOMPARE(tree.DoubleClick(tree.ConnectionItem()), HostTreeModel::DoubleClickAction::Disconnect);
    QCOMPARE(tree.DoubleClick(tree.LocalItem()), HostTreeModel::DoubleClickAction::Nothing);
    tree.SetCurrentFolder("/a");
    HostTreeModel::Node* a = tree.CurrentFolderItem();
    QVERIFY(!a->expanded);
    QCOMPARE(tree.DoubleClick(a), HostTreeModel::DoubleClickAction::ToggledExpansion);
    QVERIFY(a->expanded);
}

void TestHostTreeModel::sessionHostOnTopWhileConnected() {
    for (const std::vector<HostTreeModel::HostEntry>& hosts :
         {std::vector<HostTreeModel::HostEntry>{}, std::vector<HostTreeModel::HostEntry>{{0, "a", 0}}}) {
        HostTreeModel tree;
        tree.FillHostTree(hosts);
        const std::string registeredTop = tree.TopItem()->text;
        HostTreeModel::Node* connection = tree.ConnectionItem();
        tree.ShowSessionHost("ftp.example.jp");
        tree.SetConnectedState(true);
        QCOMPARE(topTexts(tree), (std::vector<std::string>{"ftp.example.jp", registeredTop}));
        QCOMPARE(tree.GetTopHostIndex(), -1);
        QCOMPARE(tree.ConnectionItem(), connection);
        QCOMPARE(connection->parent, tree.TopItem());
        QCOMPARE(childTexts(tree.TopItem()), (std::vector<std::string>{"切断", "ローカル", "ホスト"}));
        QVERIFY(tree.TopLevel()[1]->children.empty());
        QCOMPARE(tree.DoubleClick(connection), HostTreeModel::DoubleClickAction::Disconnect);
        tree.SetCurrentFolder("/pub");
        // A host registered meanwhile goes below; the session's item stays on top with its folders.
        std::vector<HostTreeModel::HostEntry> more = hosts;
        more.push_back({5, "new", 0});
        tree.FillHostTree(more);
        QCOMPARE(tree.TopItem()->text, std::string("ftp.example.jp"));
        QCOMPARE(tree.GetCurrentPath(), std::string("/pub"));
        QCOMPARE(tree.ConnectionItem(), connection);

        tree.SetConnectedState(false);
        const std::string newTop = hosts.empty() ? "new" : registeredTop;
        QCOMPARE(tree.TopItem()->text, newTop);
        QCOMPARE(tree.TopLevel().size(), size_t(hosts.size() + 1));
        QCOMPARE(tree.ConnectionItem(), connection);
        QCOMPARE(connection->parent, tree.TopItem());
        QCOMPARE(connection->text, std::string("接続"));
        QVERIFY(tree.RemoteRootItem()->children.empty());
    }
}

void TestHostTreeModel::treeexpandOption() {
    StoreFixture fx;
    HostTreeModel tree;
    tree.FillHostTree({{0, "a", 0}});
    tree.SetConnectedState(true);
    tree.SetCurrentFolder("/a");
    QVERIFY(!tree.FinishTreeUpdate());
    QVERIFY(!tree.CurrentFolderItem()->expanded);
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Option));
    k.WriteDword("treeexpand", 1);
    QVERIFY(tree.FinishTreeUpdate());
    QVERIFY(tree.CurrentFolderItem()->expanded);
}

QTEST_GUILESS_MAIN(TestHostTreeModel)
#include "tst_host_tree_model.moc"
