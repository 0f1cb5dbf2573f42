#include "gui/settings/CPropPageHostIcon.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/settings/OptionSheetControls.h"
#include "gui/settings/PageRows.h"
#include "gui/views/CQXTreeView.h"
#include "gui/views/HostIcons.h"
#include "settings/HostInputRules.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

using namespace OptionSheetControl;

namespace {

const char* const kNoHostText = "登録されているホストはありません";

constexpr int kPreviewSize = 32;

QString rowText(int slot) {
    return slot < 9 ? QStringLiteral("アイコン(0%1)").arg(slot + 1)
                    : QStringLiteral("アイコン(%1)").arg(slot + 1);
}

QColor transparentColour() {
    return QApplication::palette().color(QPalette::Base);
}

} // namespace

CPropPageHostIcon::CPropPageHostIcon(HostList& hosts, int topHostIndex, QWidget* parent)
    : COptionPage(parent), m_hosts(hosts), m_topHostIndex(topHostIndex) {
    DialogBuilder b(this, HostIconPage, kPageWidth, 0);
    PageRows rows(b, kPageMargin, kPageMargin, kPageWidth - 2 * kPageMargin);
    rows.Text(
        IconText,
        QStringLiteral("ツリービューに表示するアイコンを１０個まで登録する事が出来ます。登録アイコン中でチェ"
                       "ックマークがついているアイコンがホストのアイコンとして表示されます。"),
        3);
    rows.Label(IconHostLabel, QStringLiteral("ホスト選択(&F)"), 50);
    m_host = rows.DropDown(IconHost);
    m_host->setMaxVisibleItems(20);
    rows.NextRow();
    // Two columns of five rows, each row a check box, the picture and its label.
    m_icons = rows.Add(IconList, new QListWidget(this), 0, 60);
    m_icons->setFlow(QListView::TopToBottom);
    m_icons->setWrapping(true);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setIconSize(QSize(16, 16));
    m_icons->setUniformItemSizes(true);
    m_icons->setSelectionMode(QAbstractItemView::SingleSelection);
    m_icons->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QRect inside = m_icons->contentsRect();
    m_icons->setGridSize(QSize(inside.width() / 2 - 1, inside.height() / kSlots * 2));
    rows.BeginGroup(IconChangeGroup, QStringLiteral(" アイコンの変更 "));
    m_preview = rows.Add(IconPreview, new QLabel(this), 20, 20);
    m_preview->setAlignment(Qt::AlignCenter);
    m_file = rows.Label(IconFile, QString(), rows.RestOfRow(2 * 44 + PageRows::kGap));
    m_file->setTextFormat(Qt::PlainText);
    QPushButton* change = rows.Button(IconChange, QStringLiteral("変更(&C)"), 44);
    QPushButton* remove = rows.Button(IconDelete, QStringLiteral("削除(&D)"), 44);
    rows.EndGroup();
    FinishPage(b, rows);

    connect(m_host, &QComboBox::activated, this, &CPropPageHostIcon::ShowHostIcon);
    connect(m_icons, &QListWidget::itemChanged, this, &CPropPageHostIcon::OnRowChanged);
    connect(m_icons, &QListWidget::currentRowChanged, this, &CPropPageHostIcon::ShowPreview);
    connect(change, &QPushButton::clicked, this, &CPropPageHostIcon::OnChange);
    connect(remove, &QPushButton::clicked, this, &CPropPageHostIcon::OnDelete);
}

void CPropPageHostIcon::Load() {
    const QList<QIcon> pictures = CQXTreeView::AddHostIcons();
    SettingsKey key;
    key.OpenKey(KeyFamily::TreeIcon);
    {
        const QSignalBlocker blocker(m_icons);
        for (int slot = 0; slot < kSlots; ++slot) {
            auto* item = new QListWidgetItem(pictures.value(slot), rowText(slot), m_icons);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
            m_storedFiles[static_cast<size_t>(slot)] = key.ReadString(std::to_string(slot), "");
            m_files[static_cast<size_t>(slot)] = ShownText(m_storedFiles[static_cast<size_t>(slot)]);
        }
    }
    m_icons->setCurrentRow(0);

    m_storedIcons.clear();
    for (const HostRecord& host : m_hosts) {
        m_host->addItem(ShownText(host.Name));
        m_storedIcons.push_back(host.icon);
    }
    if (m_hosts.empty()) {
        m_host->addItem(QString::fromUtf8(kNoHostText));
        m_host->setCurrentIndex(0);
        return;
    }
    const bool topListed = m_topHostIndex >= 0 && m_topHostIndex < static_cast<int>(m_hosts.size());
    m_host->setCurrentIndex(topListed ? m_topHostIndex : 0);
    ShowHostIcon();
}

void CPropPageHostIcon::FollowNewOrder(const std::vector<int>& order) {
    if (!IsLoaded() || m_hosts.empty())
        return;
    std::vector<int> icons;
    for (int old : order)
        icons.push_back(m_storedIcons.at(static_cast<size_t>(old)));
    m_storedIcons = std::move(icons);
    const auto it = std::find(order.begin(), order.end(), m_host->currentIndex());
    const int current = it == order.end() ? 0 : static_cast<int>(it - order.begin());
    for (size_t i = 0; i < m_hosts.size(); ++i)
        m_host->setItemText(static_cast<int>(i), ShownText(m_hosts[i].Name));
    m_host->setCurrentIndex(current);
}

void CPropPageHostIcon::ShowHostIcon() {
    const int index = m_host->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_hosts.size()))
        return;
    HostRecord& host = m_hosts[static_cast<size_t>(index)];
    if (host.icon < 0 || host.icon >= kSlots)
        host.icon = 0;
    const QSignalBlocker blocker(m_icons);
    for (int slot = 0; slot < kSlots; ++slot)
        m_icons->item(slot)->setCheckState(slot == host.icon ? Qt::Checked : Qt::Unchecked);
}

void CPropPageHostIcon::OnRowChanged(QListWidgetItem* item) {
    Changed();
    if (item->checkState() != Qt::Checked)
        return;
    // One row at a time is checked: checking a row clears the others.
    const int slot = m_icons->row(item);
    {
        const QSignalBlocker blocker(m_icons);
        for (int other = 0; other < kSlots; ++other) {
            if (other != slot)
                m_icons->item(other)->setCheckState(Qt::Unchecked);
        }
    }
    const int index = m_host->currentIndex();
    if (index >= 0 && index < static_cast<int>(m_hosts.size()))
        m_hosts[static_cast<size_t>(index)].icon = slot;
}

void CPropPageHostIcon::ShowPreview() {
    const int slot = m_icons->currentRow();
    if (slot < 0) {
        m_preview->clear();
        m_file->clear();
        return;
    }
    m_preview->setPixmap(m_icons->item(slot)->icon().pixmap(kPreviewSize, kPreviewSize));
    const QString& file = m_files[static_cast<size_t>(slot)];
    m_file->setText(file.isEmpty() ? QStringLiteral("標準のアイコン") : QFileInfo(file).fileName());
    m_file->setToolTip(file);
}

void CPropPageHostIcon::SetPicture(int slot, const QIcon& picture) {
    const QSignalBlocker blocker(m_icons);
    m_icons->item(slot)->setIcon(picture);
    ShowPreview();
    Changed();
}

void CPropPageHostIcon::OnChange() {
    const int slot = m_icons->currentRow();
    if (slot < 0)
        return;
    const QString current = m_files[static_cast<size_t>(slot)];
    const QString start = current.isEmpty()
                              ? QString()
                              : QFileInfo(current).dir().filePath(QFileInfo(current).completeBaseName());
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("アイコンにする画像ファイル"), start,
        QStringLiteral("アイコンの画像 (*.png *.svg *.bmp *.ico);;ビットマップ アイコン (*.bmp *.ico);;"
                       "すべてのファイル (*)"));
    if (chosen.isEmpty())
        return;
    const QString path = QDir::toNativeSeparators(chosen);
    QString problem = TextLengthProblem(path.toUtf8().toStdString(), QStringLiteral("画像ファイルのパス"));
    const QIcon picture = problem.isEmpty() ? HostIconFromFile(path, transparentColour()) : QIcon();
    if (problem.isEmpty() && picture.isNull())
        problem =
            QStringLiteral("「%1」は画像として読み込めないため、アイコンは変更しませんでした。").arg(path);
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("lumo"), problem);
        return;
    }
    m_files[static_cast<size_t>(slot)] = path;
    SetPicture(slot, picture);
}

void CPropPageHostIcon::OnDelete() {
    const int slot = m_icons->currentRow();
    if (slot < 0)
        return;
    m_files[static_cast<size_t>(slot)].clear();
    SetPicture(slot, GetHostIcon(slot));
}

bool CPropPageHostIcon::OnApply() {
    SettingsKey key;
    if (key.CreateKey(KeyFamily::TreeIcon)) {
        for (size_t slot = 0; slot < kSlots; ++slot) {
            m_storedFiles[slot] = TextForStore(m_storedFiles[slot], m_files[slot]);
            key.WriteString(std::to_string(slot), m_storedFiles[slot]);
        }
    }
    for (size_t i = 0; i < m_hosts.size() && i < m_storedIcons.size(); ++i) {
        if (m_hosts[i].icon == m_storedIcons[i])
            continue;
        // Only a host that is still stored gets its icon: a missing key is not made for it.
        if (key.OpenKey(KeyFamily::Host, HostKeyName(static_cast<int>(i))))
            key.WriteDword(SettingName::Icon, static_cast<std::uint32_t>(m_hosts[i].icon));
        m_storedIcons[i] = m_hosts[i].icon;
    }
    return true;
}
