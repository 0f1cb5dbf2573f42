#include "app/gui/CloseQuestion.h"

#include <QMessageBox>
#include <QPushButton>

bool MayCloseDuringTransfer(QWidget* parent, bool transferring) {
    if (!transferring)
        return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("終了"),
                    QStringLiteral("転送中です。中止して終了しますか？"), QMessageBox::NoButton, parent);
    QPushButton* quit = box.addButton(QStringLiteral("終了する"), QMessageBox::AcceptRole);
    QPushButton* stay = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(stay);
    box.setEscapeButton(stay);
    box.exec();
    return box.clickedButton() == quit;
}
