#pragma once

#include <QObject>

#include <cstddef>
#include <string>

// The text of the log pane and the assembly of server replies. The log widget only shows what
// this holds; the engine hands it every command it sends and every piece of text it receives.
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
    static constexpr std::size_t kLastLineMax = 359;

    explicit CLogText(std::size_t limit = kDefaultLimit, QObject* parent = nullptr);

    // Adds whole lines (with their CR LF) at the end.
    void AppendLog(const std::string& text);
    // Adds a received piece of control-connection text; true when the text now holds a whole
    // reply, which is then shown as a whole and its code recorded. One reply is taken at a time:
    // what follows it stays pending (ReplyWaiting tells whether that is a whole reply too).
    bool AppendReply(const std::string& received);
    // The pending text holds a whole reply, which AppendReply("") takes.
    bool ReplyWaiting() { return FindReplyEnd() != std::string::npos; }
    // The code of the last complete reply; 0 before the first.
    int GetReplyCode() const { return m_replyCode; }
    // The last complete line of the text (the final line of the last reply), at most 359 bytes.
    std::string GetLastReplyLine() const;
    // The last complete reply, all its lines (a FEAT list, for one).
    const std::string& GetLastReply() const { return m_lastReply; }

    const std::string& Text() const { return m_text; }
    std::size_t PendingSize() const { return m_pending.size(); }
    // Forgets a pending reply that will never be shown.
    void DiscardPending();
    std::size_t Limit() const { return m_limit; }
    int LineCount() const;

signals:
    // The first `bytes` bytes of the text were dropped.
    void Trimmed(std::size_t bytes);
    // Text was added at the end.
    void Appended(const std::string& text);

private:
    void Trim();
    void Add(const std::string& text);
    // Where the first whole reply of the pending text ends (past its line feed); npos while none.
    std::size_t FindReplyEnd();

    std::size_t m_limit;
    std::string m_text;
    std::string m_pending;
    // Kept as text comes and goes: counting the whole text at every append made a long log slow.
    std::size_t m_lineEnds = 0;
    int m_replyCode = 0;
    std::string m_lastReply;
    // The scan of the pending text goes on where it stopped, so a long reply arriving in many
    // pieces is read once: the first line not yet looked at, the code of a multi-line reply that
    // has begun (0: none), and the end and code of a whole reply found.
    std::size_t m_scanFrom = 0;
    int m_openCode = 0;
    std::size_t m_foundEnd = std::string::npos;
    int m_foundCode = 0;
};
