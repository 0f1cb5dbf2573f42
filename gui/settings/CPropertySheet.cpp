#include "gui/settings/CPropertySheet.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/settings/CPropertyPage.h"
#include "settings/SettingsKey.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

CPropertySheet::CPropertySheet(const QString& caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(caption);
    setFont(DialogFont());
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_tabs = new QTabWidget(this);
    layout->addWidget(m_tabs);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    m_applyButton = new QPushButton(QStringLiteral("適用"), this);
    ok->setObjectName(ControlName(kOkButton));
    cancel->setObjectName(ControlName(kCancelButton));
    m_applyButton->setObjectName(ControlName(kApplyButton));
    ok->setDefault(true);
    m_applyButton->setEnabled(false);
    for (QPushButton* b : {ok, cancel, m_applyButton})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CPropertySheet::accept);
    connect(cancel, &QPushButton::clicked, this, &CPropertySheet::reject);
    connect(m_applyButton, &QPushButton::clicked, this, [this] { Apply(); });
    connect(m_tabs, &QTabWidget::currentChanged, this, &CPropertySheet::OnTabChanged);
    // Watched before any control sees the keys: a font box, a spin box or a text box would take
    // Ctrl+Tab for itself and keep the user on its page.
    qApp->installEventFilter(this);
}

void CPropertySheet::AddPage(CPropertyPage* page, const QString& title) {
    page->m_sheet = this;
    m_pages.push_back(page);
    m_switching = true;
    m_tabs->addTab(page, title);
    m_switching = false;
}

CPropertyPage* CPropertySheet::Page(int index) const {
    return index >= 0 && index < PageCount() ? m_pages[static_cast<size_t>(index)] : nullptr;
}

void CPropertySheet::Activate(int index) {
    m_active = index;
    if (CPropertyPage* page = Page(index)) {
        page->m_shown = true;
        page->OnSetActive();
    }
}

bool CPropertySheet::SetActivePage(int index) {
    if (index == m_active)
        return true;
    m_tabs->setCurrentIndex(index);
    return m_active == index;
}

void CPropertySheet::OnTabChanged(int index) {
    if (m_switching || m_active < 0)
        return;
    // The page being left goes back on screen while it decides, so that a refusal shows over it and
    // the focus lands on the value it refused.
    m_switching = true;
    m_tabs->setCurrentIndex(m_active);
    const bool leave = ActivePage()->OnKillActive();
    if (leave)
        m_tabs->setCurrentIndex(index);
    m_switching = false;
    if (leave)
        Activate(index);
}

void CPropertySheet::SetModified(bool modified) {
    m_applyButton->setEnabled(modified);
}

bool CPropertySheet::IsModified() const {
    return m_applyButton->isEnabled();
}

bool CPropertySheet::Apply() {
    if (CPropertyPage* active = ActivePage(); active && !active->OnKillActive())
        return false;
    {
        SettingsBatch batch;
        if (!batch.IsHeld()) {
            ShowProblem(QStringLiteral("設定ファイルを書き込めないため、設定を保存できませんでした。"));
            return false;
        }
        for (CPropertyPage* page : m_pages) {
            if (page->HasBeenShown() && !page->OnApply())
                return false;
        }
        if (!OnApplySheet())
            return false;
    }
    if (!OnApplied())
        return false;
    SetModified(false);
    return true;
}

void CPropertySheet::accept() {
    if (Apply())
        QDialog::accept();
}

void CPropertySheet::ShowProblem(const QString& message) {
    QMessageBox::warning(this, QStringLiteral("lumo"), message);
}

void CPropertySheet::setVisible(bool visible) {
    // The sheet takes the size of its largest page before its window exists, so the window is made
    // at that size once instead of being resized after.
    if (visible)
        layout()->activate();
    QDialog::setVisible(visible);
}

namespace {
void FocusFirstControl(QWidget* page) {
    for (QWidget* w = page->nextInFocusChain(); w != page && page->isAncestorOf(w);
         w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}
} // namespace

void CPropertySheet::showEvent(QShowEvent* event) {
    if (m_active < 0 && !m_pages.empty()) {
        Activate(m_tabs->currentIndex());
        // The sheet opens with the focus on the page's first control, ready for typing.
        FocusFirstControl(ActivePage());
    }
    QDialog::showEvent(event);
}

bool CPropertySheet::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this && StepPage(static_cast<QKeyEvent&>(*event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

bool CPropertySheet::StepPage(const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    int step = 0;
    if (mods == Qt::ControlModifier && (key.key() == Qt::Key_Tab || key.key() == Qt::Key_PageDown))
        step = 1;
    else if ((mods == (Qt::ControlModifier | Qt::ShiftModifier) &&
              (key.key() == Qt::Key_Backtab || key.key() == Qt::Key_Tab)) ||
             (mods == Qt::ControlModifier && key.key() == Qt::Key_PageUp))
        step = -1;
    if (step == 0 || m_active < 0 || PageCount() < 2)
        return false;
    const bool onTabs = m_tabs->tabBar()->hasFocus();
    const int target = (m_active + step + PageCount()) % PageCount();
    // A page that refuses to be left has put the focus on the value it refused.
    if (SetActivePage(target) && !onTabs)
        FocusFirstControl(ActivePage());
    return true;
}
