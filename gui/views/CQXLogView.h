#pragma once

#include <QColor>
#include <QPlainTextEdit>

#include <string>

class CLogText;
class RedrawThrottle;

// How the log pane looks, from the stored log settings.
struct LogAppearance {
    QColor text;
    QColor background;
    QString face;
    int pointSize = 11;
};

// The stored appearance; `buttonFace` and `window` are the desktop's colours of those names.
LogAppearance ReadLogAppearance(const QColor& buttonFace, const QColor& window);

// The log pane: a read-only, unwrapped text pane that shows the log's text. The text is the bytes
// the engine logged; it is decoded here for the screen, and line ends are shown as line breaks.
class CQXLogView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CQXLogView(QWidget* parent = nullptr);

    // Shows this log text from now on, following what is added and trimmed.
    void SetLogText(CLogText* log);

    // Adds logged bytes at the end and scrolls to them.
    void AppendText(const std::string& bytes);
    // Drops the oldest lines (the log has grown too long).
    void RemoveLeadingLines(int count);
    void Clear();

    void ApplyAppearance(const LogAppearance& appearance);
    const LogAppearance& Appearance() const { return m_appearance; }

signals:
    // The pane's height became zero or non-zero (hidden or shown in the splitter).
    void VisibleHeightChanged(bool visible);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    LogAppearance m_appearance;
    CLogText* m_log = nullptr;
    // Lines come in bursts (a folder of small files logs thousands); the pane is drawn at most
    // twenty times a second meanwhile.
    RedrawThrottle* m_redraw;
};
