#include "app/gui/TempFolderNotice.h"

#include "settings/TempFolder.h"

#include <QMessageBox>

bool NoticeRefusedTempFolder(QWidget* parent) {
    const FolderFault fault = SystemTempFolderFault();
    if (fault == FolderFault::None)
        return false;
    const QString text = TempFolderFaultText(fault, SystemTempFolder());
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("lumo"), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return true;
}
