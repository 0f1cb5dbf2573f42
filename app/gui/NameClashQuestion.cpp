#include "app/gui/NameClashQuestion.h"

#include "platform/TextCodec.h"

#include <QMessageBox>
#include <QPushButton>

NameClashAnswer AskNameClash(QWidget* parent, const std::string& localPath, const std::string& firstRemote,
                             const std::string& secondRemote) {
    const QString text =
        QStringLiteral("「%1」と「%2」は、どちらも「%3」として保存されます。先の「%1」はこのダウンロード"
                       "で保存したばかりです。後の「%2」をどうしますか？")
            .arg(DecodeRemoteName(firstRemote), DecodeRemoteName(secondRemote),
                 QString::fromStdString(localPath));
    QMessageBox box(QMessageBox::Question, QStringLiteral("同じ名前のファイル"), text, QMessageBox::NoButton,
                    parent);
    QPushButton* both = box.addButton(QStringLiteral("番号を付けて両方残す"), QMessageBox::AcceptRole);
    QPushButton* replace = box.addButton(QStringLiteral("上書きする"), QMessageBox::DestructiveRole);
    QPushButton* skip = box.addButton(QStringLiteral("飛ばす"), QMessageBox::RejectRole);
    QPushButton* stop = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(both);
    box.setEscapeButton(stop);
    box.exec();
    if (box.clickedButton() == both)
        return NameClashAnswer::KeepBoth;
    if (box.clickedButton() == replace)
        return NameClashAnswer::Replace;
    if (box.clickedButton() == skip)
        return NameClashAnswer::Skip;
    return NameClashAnswer::Cancel;
}
