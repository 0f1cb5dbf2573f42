#include "gui/dialogs/MirrorPreviewDlg.h"

#include "platform/TextCodec.h"
#include "views/MirrorPlanModel.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace {

QLabel* TextLabel(const QString& text) {
    auto* label = new QLabel(text);
    // Names from disk and from the server are shown as they are, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A line that says why something will not happen, with the warning sign before it.
QWidget* Note(QStyle* style, const QString& text) {
    auto* note = new QWidget;
    auto* icon = new QLabel;
    const int size = style->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(style->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    icon->setAlignment(Qt::AlignTop);
    auto* label = TextLabel(text);
    label->setWordWrap(true);
    auto* row = new QHBoxLayout(note);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(icon);
    row->addWidget(label, 1);
    return note;
}

QString ClashText(const std::vector<std::string>& folders) {
    constexpr std::size_t kShown = 3;
    QStringList names;
    for (std::size_t i = 0; i < folders.size() && i < kShown; ++i)
        names << QStringLiteral("/") + QString::fromStdString(folders[i]);
    QString text =
        QStringLiteral("大文字と小文字などだけが違う名前があるため、次のフォルダでは削除しません: ") +
        names.join(QStringLiteral("、"));
    if (folders.size() > kShown)
        text += QStringLiteral(" ほか %1 件").arg(folders.size() - kShown);
    return text;
}

} // namespace

CMirrorPreviewDlg::CMirrorPreviewDlg(MirrorPlan plan, MirrorDirection direction, const MirrorSide& source,
                                     const MirrorSide& destination, const QString& localFolder,
                                     std::string_view remoteFolder, QWidget* parent)
    : QDialog(parent) {
    const bool up = direction == MirrorDirection::Up;
    setWindowTitle(up ? QStringLiteral("ミラーリングアップロードの確認")
                      : QStringLiteral("ミラーリングダウンロードの確認"));
    m_model = new MirrorPlanModel(std::move(plan), direction, source, destination, this);
    const MirrorPlan& shown = m_model->plan();

    auto* folders = new QFormLayout;
    folders->addRow(QStringLiteral("ローカル:"), TextLabel(QDir::toNativeSeparators(localFolder)));
    folders->addRow(QStringLiteral("ホスト:"), TextLabel(DecodeRemoteName(remoteFolder)));
    auto* heading = TextLabel(
        up ? QStringLiteral("ローカルのフォルダに合わせて、ホストのフォルダを次のように変更します。")
           : QStringLiteral("ホストのフォルダに合わせて、ローカルのフォルダを次のように変更します。"));

    m_summary = TextLabel(QString());
    QFont bold = m_summary->font();
    bold.setBold(true);
    m_summary->setFont(bold);

    m_view = new QTreeView;
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAlternatingRowColors(true);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setAllColumnsShowFocus(true);
    FitColumns();

    auto* buttons = new QDialogButtonBox;
    m_run = buttons->addButton(QStringLiteral("実行"), QDialogButtonBox::AcceptRole);
    auto* cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    m_settings =
        buttons->addButton(QStringLiteral("フォルダの組の設定(&S)..."), QDialogButtonBox::ActionRole);
    m_zone = buttons->addButton(QStringLiteral("サーバーの時間帯を調べる(&Z)"), QDialogButtonBox::ActionRole);
    m_zone->setToolTip(
        QStringLiteral("小さなファイルをホストのフォルダに送り、一覧の時刻を時計と比べてから削除します。"));
    connect(m_settings, &QPushButton::clicked, this, [this] { done(ChangeSettings); });
    connect(m_zone, &QPushButton::clicked, this, [this] { done(DetectZone); });
    connect(m_run, &QPushButton::clicked, this, &CMirrorPreviewDlg::Run);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(folders);
    layout->addWidget(m_summary);
    if (shown.stopReason)
        layout->addWidget(Note(style(), QString::fromUtf8(shown.stopReason)));
    if (shown.removalsWithheld)
        layout->addWidget(Note(style(), QString::fromUtf8(shown.removalsWithheld)));
    if (!shown.clashFolders.empty())
        layout->addWidget(Note(style(), ClashText(shown.clashFolders)));
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);

    m_run->setEnabled(!shown.stopReason);
    (shown.stopReason ? cancel : m_run)->setDefault(true);
    connect(m_model, &MirrorPlanModel::ChoiceChanged, this, &CMirrorPreviewDlg::ShowSummary);
    ShowSummary();
    resize(720, 480);
}

void CMirrorPreviewDlg::ShowSummary() {
    m_summary->setText(MirrorSummaryText(m_model->ChosenSummary(), m_model->direction()));
}

// The columns fit their longest texts, found from the plan's numbers and its few reasons rather than
// from every line; the path takes the room that is left.
void CMirrorPreviewDlg::FitColumns() {
    const QFontMetrics metrics(m_view->font());
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
    const int box = style()->pixelMetric(QStyle::PM_IndicatorWidth) + 8;
    const auto fit = [&](int column, int textWidth) {
        const QString title = m_model->headerData(column, Qt::Horizontal).toString();
        m_view->setColumnWidth(column, std::max(textWidth, metrics.horizontalAdvance(title)) + padding);
    };
    fit(MirrorPlanModel::ColAction, box + metrics.horizontalAdvance(QStringLiteral("フォルダ作成")));
    std::int64_t largest = 0;
    std::set<const char*> reasons;
    for (const MirrorAction& action : m_model->plan().actions) {
        largest = std::max(largest, action.size);
        reasons.insert(action.reason);
    }
    fit(MirrorPlanModel::ColSize, metrics.horizontalAdvance(QString::number(largest)));
    int reasonWidth = 0;
    for (const char* reason : reasons)
        reasonWidth = std::max(reasonWidth, metrics.horizontalAdvance(QString::fromUtf8(reason)));
    fit(MirrorPlanModel::ColReason, reasonWidth);
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(MirrorPlanModel::ColPath, QHeaderView::Stretch);
}

void CMirrorPreviewDlg::Run() {
    MirrorPlan chosen = m_model->ChosenPlan();
    if (chosen.needsConfirmation) {
        const QString question =
            QStringLiteral("送り先のファイル %1 個のうち %2 個を削除します。よろしいですか。")
                .arg(chosen.destinationFiles)
                .arg(chosen.removedFiles);
        if (QMessageBox::warning(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) != QMessageBox::Yes)
            return;
    }
    m_chosen = std::move(chosen);
    accept();
}
