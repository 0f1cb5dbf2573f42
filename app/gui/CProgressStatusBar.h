#pragma once

#include <QIcon>
#include <QStatusBar>

class QLabel;
class QProgressBar;
class RedrawThrottle;

// The main window's status bar: pane 0 the running operation with its picture, pane 1 a progress
// bar, pane 2 the speed and time left, pane 3 the byte count during a transfer and otherwise the
// current host with its picture.
class CProgressStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kProgressPaneWidth = 120;
    static constexpr int kHostPaneStartWidth = 120;
    // Pane 2 is as wide as this text, the longest it shows in everyday use.
    static const char* const kSpeedPaneSample;

    explicit CProgressStatusBar(QWidget* parent = nullptr);

    void SetStatusText(const QString& text, const QIcon& icon = {});
    // The state of a running transfer: the bar, and the texts of panes 2 and 3.
    void ShowProgress(int barMaximum, int barValue, const QString& speedText, const QString& countText);
    // Hides the bar and empties panes 2 and 3.
    void ResetProgress();
    // Pane 3 shows the current host; nothing happens when it already shows this text and picture.
    void SetHostPane(const QString& text, const QIcon& icon);

    QString StatusText() const;
    QString SpeedText() const;
    QString HostPaneText() const;
    int HostPaneWidth() const;
    int SpeedPaneWidth() const;
    QProgressBar* ProgressBar() const { return m_progress; }

private:
    QLabel* m_statusIcon;
    QLabel* m_statusText;
    QProgressBar* m_progress;
    QLabel* m_speed;
    QLabel* m_hostIcon;
    // The picture shown, so that a host given another picture is shown again.
    qint64 m_hostIconKey = 0;
    QLabel* m_hostText;
    QWidget* m_hostPane;
    // Files that take less than a moment each would have the bar drawn several times per file.
    RedrawThrottle* m_redraw;
};
