#include "app/gui/CProgressStatusBar.h"

#include "app/WindowLayout.h"
#include "gui/views/RedrawThrottle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

const char* const CProgressStatusBar::kSpeedPaneSample = "0000.00kbyte/s 残り0000秒";

CProgressStatusBar::CProgressStatusBar(QWidget* parent)
    : QStatusBar(parent), m_redraw(new RedrawThrottle(this, 100)) {
    setObjectName(QStringLiteral("statusBar"));

    auto* statusPane = new QWidget(this);
    auto* statusLayout = new QHBoxLayout(statusPane);
    statusLayout->setContentsMargins(2, 0, 2, 0);
    statusLayout->setSpacing(3);
    m_statusIcon = new QLabel(statusPane);
    m_statusIcon->hide();
    m_statusText = new QLabel(statusPane);
    // A long text is cut at the pane's edge rather than widening the window.
    m_statusText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusLayout->addWidget(m_statusIcon);
    statusLayout->addWidget(m_statusText, 1);
    addWidget(statusPane, 1);

    // Pane 1: the bar covers the pane and is hidden while nothing is transferred.
    auto* progressPane = new QWidget(this);
    progressPane->setFixedWidth(kProgressPaneWidth);
    auto* progressLayout = new QHBoxLayout(progressPane);
    progressLayout->setContentsMargins(0, 1, 0, 1);
    m_progress = new QProgressBar(progressPane);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    // The bar comes and goes with every file; the status bar keeps its height all the same, so the
    // panes above it do not move with each file of a folder.
    QSizePolicy keep = m_progress->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_progress->setSizePolicy(keep);
    m_progress->hide();
    progressLayout->addWidget(m_progress);
    addPermanentWidget(progressPane);

    m_speed = new QLabel(this);
    m_speed->setFixedWidth(fontMetrics().horizontalAdvance(QString::fromUtf8(kSpeedPaneSample)) + 8);
    addPermanentWidget(m_speed);

    m_hostPane = new QWidget(this);
    auto* hostLayout = new QHBoxLayout(m_hostPane);
    hostLayout->setContentsMargins(2, 0, 2, 0);
    hostLayout->setSpacing(3);
    m_hostIcon = new QLabel(m_hostPane);
    m_hostIcon->hide();
    m_hostText = new QLabel(m_hostPane);
    hostLayout->addWidget(m_hostIcon);
    hostLayout->addWidget(m_hostText, 1);
    m_hostPane->setFixedWidth(kHostPaneStartWidth);
    addPermanentWidget(m_hostPane);
}

void CProgressStatusBar::SetStatusText(const QString& text, const QIcon& icon) {
    m_redraw->Changed();
    m_statusText->setText(text);
    if (icon.isNull() || text.isEmpty()) {
        m_statusIcon->clear();
        m_statusIcon->hide();
    } else {
        m_statusIcon->setPixmap(icon.pixmap(16, 16));
        m_statusIcon->show();
    }
}

void CProgressStatusBar::ShowProgress(int barMaximum, int barValue, const QString& speedText,
                                      const QString& countText) {
    m_redraw->Changed();
    m_progress->setRange(0, barMaximum);
    m_progress->setValue(barValue);
    m_progress->show();
    m_speed->setText(speedText);
    // A fast link or a long wait gives a longer text than the pane was made for: it grows to show it
    // whole, and does not shrink back with each file.
    const int speedWidth = m_speed->fontMetrics().horizontalAdvance(speedText) + 8;
    if (m_speed->maximumWidth() < speedWidth)
        m_speed->setFixedWidth(speedWidth);
    m_hostIcon->clear();
    m_hostIcon->hide();
    m_hostText->setText(countText);
    // The byte count of a large file is wider than a host's name: the pane grows to show it whole.
    const int countWidth = fontMetrics().horizontalAdvance(countText) + 8;
    if (m_hostPane->maximumWidth() < countWidth)
        m_hostPane->setFixedWidth(countWidth);
}

void CProgressStatusBar::ResetProgress() {
    m_redraw->Changed();
    m_progress->hide();
    m_progress->setValue(0);
    m_speed->clear();
    m_hostText->clear();
}

void CProgressStatusBar::SetHostPane(const QString& text, const QIcon& icon) {
    if (m_hostText->text() == text && m_hostIconKey == icon.cacheKey())
        return;
    m_hostIconKey = icon.cacheKey();
    // The icon sits beside the title in the same pane, so its room counts with the title's width.
    const QMargins margins = m_hostPane->layout()->contentsMargins();
    const int iconRoom =
        icon.isNull() ? 0 : 16 + m_hostPane->layout()->spacing() + margins.left() + margins.right();
    m_hostPane->setFixedWidth(::HostPaneWidth(fontMetrics().horizontalAdvance(text) + iconRoom));
    m_hostText->setText(text);
    if (icon.isNull()) {
        m_hostIcon->hide();
    } else {
        m_hostIcon->setPixmap(icon.pixmap(16, 16));
        m_hostIcon->show();
    }
}

QString CProgressStatusBar::StatusText() const {
    return m_statusText->text();
}

QString CProgressStatusBar::SpeedText() const {
    return m_speed->text();
}

QString CProgressStatusBar::HostPaneText() const {
    return m_hostText->text();
}

int CProgressStatusBar::HostPaneWidth() const {
    return m_hostPane->maximumWidth();
}

int CProgressStatusBar::SpeedPaneWidth() const {
    return m_speed->width();
}
