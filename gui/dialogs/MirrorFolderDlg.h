#pragma once

#include "settings/MirrorPairs.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

// Asks which local folder a mirror pair keeps in step with the remote one, whether removals are made
// too (off unless ticked) and which names are left alone. OK refuses a folder that cannot serve
// (MirrorFolderProblem) and says why.
class CMirrorFolderDlg : public QDialog {
    Q_OBJECT
public:
    // `hostName` as the host list shows it; the pair's remote folder is the server's bytes.
    CMirrorFolderDlg(const QString& hostName, const MirrorPairId& pair, const MirrorPairSettings& settings,
                     QWidget* parent = nullptr);

    // What the dialog holds now.
    MirrorPairSettings Settings() const;

    QLineEdit* folderEdit() const { return m_folder; }
    QCheckBox* removeBox() const { return m_remove; }
    QPlainTextEdit* exclusionsEdit() const { return m_exclusions; }

public slots:
    void accept() override;

private:
    void Browse();

    QLineEdit* m_folder;
    QCheckBox* m_remove;
    QPlainTextEdit* m_exclusions;
};

// Asks for the pair's settings, starting from the stored ones, and stores the answer. Nothing when
// the person cancels.
std::optional<MirrorPairSettings> AskMirrorPair(QWidget* parent, const QString& hostName,
                                                const MirrorPairId& pair);
