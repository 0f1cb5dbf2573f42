#include "gui/dialogs/MirrorFolderDlg.h"

#include "platform/TextCodec.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLabel* WrappedLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}
} // namespace

CMirrorFolderDlg::CMirrorFolderDlg(const QString& hostName, const MirrorPairId& pair,
                                   const MirrorPairSettings& settings, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("ミラーリングするフォルダ"));
    auto* heading = WrappedLabel(
        QStringLiteral("ホスト「%1」のフォルダ %2 と同じ内容に保つローカルフォルダを選んでください。")
            .arg(hostName, DecodeRemoteName(pair.remoteFolder)));
    auto* note = WrappedLabel(
        QStringLiteral("一時フォルダやダウンロードフォルダを自動で使うことはありません。選んだフォルダは"
                       "このホストのフォルダとの組み合わせとして記憶します。"));
    m_folder = new QLineEdit(QDir::toNativeSeparators(settings.localFolder));
    auto* browse = new QPushButton(QStringLiteral("参照(&B)..."));
    connect(browse, &QPushButton::clicked, this, &CMirrorFolderDlg::Browse);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);

    m_remove = new QCheckBox(QStringLiteral("削除も行う（送り元にないものを消す）(&D)"));
    m_remove->setChecked(settings.removeAbsent);
    m_exclusions = new QPlainTextEdit(QString::fromStdString(settings.exclusions));
    m_exclusions->setTabChangesFocus(true);
    auto* exclusionsLabel =
        new QLabel(QStringLiteral("除外するファイル（1行に1パターン。例: *.tmp、.git/）(&X):"));
    exclusionsLabel->setBuddy(m_exclusions);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CMirrorFolderDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(folderRow);
    layout->addWidget(note);
    layout->addWidget(m_remove);
    layout->addWidget(exclusionsLabel);
    layout->addWidget(m_exclusions, 1);
    layout->addWidget(buttons);
    resize(520, 360);
}

MirrorPairSettings CMirrorFolderDlg::Settings() const {
    MirrorPairSettings settings;
    settings.localFolder = QDir::cleanPath(QDir::fromNativeSeparators(m_folder->text().trimmed()));
    settings.removeAbsent = m_remove->isChecked();
    settings.exclusions = m_exclusions->toPlainText().toStdString();
    return settings;
}

void CMirrorFolderDlg::accept() {
    const QString problem = MirrorFolderProblem(Settings().localFolder);
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), problem);
        m_folder->setFocus();
        return;
    }
    QDialog::accept();
}

void CMirrorFolderDlg::Browse() {
    const QString start = m_folder->text().trimmed().isEmpty() ? QDir::homePath() : Settings().localFolder;
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("ローカルフォルダの選択"), start);
    if (!folder.isEmpty())
        m_folder->setText(QDir::toNativeSeparators(folder));
}

std::optional<MirrorPairSettings> AskMirrorPair(QWidget* parent, const QString& hostName,
                                                const MirrorPairId& pair) {
    CMirrorFolderDlg dlg(hostName, pair, LoadMirrorPair(pair), parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    const MirrorPairSettings settings = dlg.Settings();
    if (!SaveMirrorPair(pair, settings))
        QMessageBox::warning(parent, dlg.windowTitle(),
                             QStringLiteral("設定を保存できなかったため、次回もフォルダをたずねます。"));
    return settings;
}
