#include "app/gui/CommandMenus.h"

#include "app/CommandIds.h"

#include <QAction>
#include <QMenu>

QAction* AddCommandAlias(QMenu* menu, QAction* command, const QString& text) {
    QAction* alias = menu->addAction(text);
    alias->setData(command->data());
    alias->setStatusTip(command->statusTip());
    QObject::connect(alias, &QAction::triggered, command, &QAction::trigger);
    QObject::connect(menu, &QMenu::aboutToShow, alias,
                     [alias, command] { alias->setEnabled(command->isEnabled()); });
    return alias;
}

QMenu* CreateListContextMenu(QWidget* parent, const std::function<QAction*(int)>& command,
                             const std::function<void()>& update) {
    auto* menu = new QMenu(QStringLiteral("リストビューで右クリック"), parent);
    QObject::connect(menu, &QMenu::aboutToShow, parent, update);
    auto add = [&command](QMenu* m, int id, const char* text) {
        AddCommandAlias(m, command(id), QString::fromUtf8(text));
    };
    add(menu, CommandId::Open, "開く(&O)");
    add(menu, CommandId::ParentFolder, "親フォルダに移動(&C)");
    menu->addSeparator();
    add(menu, CommandId::Download, "ダウンロード(&S)");
    add(menu, CommandId::DownloadAs, "名前を付けてダウンロード(&A) ");
    add(menu, CommandId::Upload, "アップロード(&U)");
    add(menu, CommandId::MirrorUpload, "ミラーリングアップロード...");
    add(menu, CommandId::MirrorDownload, "ミラーリングダウンロード...");
    menu->addSeparator();
    QMenu* create = menu->addMenu(QStringLiteral("新規作成(&N)"));
    add(create, CommandId::NewFolder, "フォルダ(&F)");
    add(create, CommandId::NewIndexHtml, "インデックスＨＴＭＬ(&H)");
    menu->addSeparator();
    add(menu, CommandId::Delete, "削除(&D)");
    add(menu, CommandId::Rename, "名前の変更(&M)");
    add(menu, CommandId::ChangeAttributes, "属性の変更(&P)");
    menu->addSeparator();
    add(menu, CommandId::Refresh, "再表示(F5)");
    return menu;
}
