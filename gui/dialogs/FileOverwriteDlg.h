#pragma once

#include "dialogs/ConfirmRules.h"

#include <QDialog>
#include <QIcon>

#include <cstdint>

class QLabel;

// A file of the same name exists where a transfer would write. Ends with 1 (overwrite this file),
// 4 (resume), 3 (overwrite this and all later files) or 2 (stop). One dialog serves a whole batch:
// each preparation replaces everything the previous one set.
class CFileOverwriteDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFileOverwriteDlg(QWidget* parent = nullptr);

    // Download: the local file exists. False, and nothing to show, when its status cannot be read.
    bool PrepareDownload(const QString& localPath, const QString& remoteDate, std::int64_t remoteSize);
    // Upload: the remote file exists. False, and nothing to show, when the local file's status cannot
    // be read.
    bool PrepareUpload(const QString& localPath, const QString& remoteDate, const QString& remoteSizeText);
    // Rename: a remote file of the new name exists. Only yes and cancel are offered.
    void PrepareRename(const QString& name, const RemoteColumns& existing, const RemoteColumns& renamed);

    QIcon m_existingIcon;
    QIcon m_newIcon;
    OverwriteTexts m_texts;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Shows or hides the answers that only a transfer has: resume, and overwrite all.
    void OfferBatchAnswers(bool offer);

    QLabel* m_headline;
    QLabel* m_existingIconLabel;
    QLabel* m_existingSize;
    QLabel* m_existingDate;
    QLabel* m_newIconLabel;
    QLabel* m_newSize;
    QLabel* m_newDate;
};
