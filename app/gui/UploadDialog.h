#pragma once

#include <QFileDialog>

// The upload command's open dialog. Several files may be chosen; a folder chosen in the list (one
// click, then "アップロード") is taken as a folder to upload whole, while a double click or a typed
// name still opens it as in any open dialog.
class CUploadDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit CUploadDialog(QWidget* parent = nullptr, const QString& startFolder = {});

    // Runs the dialog, opened on `startFolder` (the home folder when empty): the chosen files and
    // folders, empty when it was cancelled.
    static QStringList ChoosePaths(QWidget* parent, const QString& startFolder);

public slots:
    void accept() override;

private:
    // The rows chosen in the list, when nothing else was typed; empty otherwise.
    QStringList ChosenRows() const;
    // The dialog calls its button "Open" whenever a folder is chosen; here it uploads.
    void KeepAcceptText();

    QStringList m_chosenRows;
};
