#pragma once

#include <QObject>

#include <cstddef>
#include <string>

// The text of the log pane. The log widget only shows what this holds; the engine hands it every
// command it sends, every whole reply and its own lines.
//
// Text is kept as the bytes the callers passed, lines ended by CR LF. When the text nears its
// limit, the oldest 100 lines go.
class CLogText : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kDefaultLimit = 8u * 1024 * 1024;
    // How close to the limit the text may come before the oldest lines are dropped.
    static constexpr std::size_t kTrimMargin = 20480;
    static constexpr int kTrimLines = 100;

    explicit CLogText(std::size_t limit = kDefaultLimit, QObject* parent = nullptr);

    // Adds whole lines (with their CR LF) at the end.
    void AppendLog(const std::string& text);
    const std::string& Text() const { return m_text; }
    std::size_t Limit() const { return m_limit; }
    int LineCount() const;

signals:
    // The first `bytes` bytes of the text were dropped.
    void Trimmed(std::size_t bytes);
    // Text was added at the end.
    void Appended(const std::string& text);

private:
    void Trim();

    std::size_t m_limit;
    std::string m_text;
    // Kept as text comes and goes: counting the whole text at every append made a long log slow.
    std::size_t m_lineEnds = 0;
};
