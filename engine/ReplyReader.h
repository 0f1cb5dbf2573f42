#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Assembles the server's replies from the pieces the control connection delivers, one reply at a
// time. A reply whose first line begins "ddd-" goes on to the line that begins with the same three
// digits and a space (RFC 959 4.2); a line of other digits and a space inside it is text, even when
// a read happens to end after it. Text before any reply line ends at the first "ddd " line.
class ReplyReader {
public:
    // The last line is cut to this many bytes.
    static constexpr std::size_t kLastLineMax = 359;

    // Adds a received piece; true when the text now holds a whole reply, which becomes the last
    // reply. What follows it stays pending (Waiting tells whether that is a whole reply too).
    bool Feed(std::string_view received);
    // The pending text holds a whole reply, which Feed({}) takes.
    bool Waiting() { return FindReplyEnd() != std::string::npos; }
    // The code of the last reply; 0 before the first.
    int Code() const { return m_code; }
    // The final line of the last reply, without its line end, at most kLastLineMax bytes.
    std::string LastLine() const;
    // The whole last reply, every line of it, as received.
    const std::string& LastReply() const { return m_lastReply; }
    std::size_t PendingSize() const { return m_pending.size(); }
    // Forgets pending text that will never become a reply (the session ended).
    void DiscardPending();

private:
    // Where the first whole reply of the pending text ends (past its line feed); npos while none.
    std::size_t FindReplyEnd();

    std::string m_pending;
    std::string m_lastReply;
    int m_code = 0;
    // The scan of the pending text goes on where it stopped, so a long reply arriving in many
    // pieces is read once: the first line not yet looked at, the code of a multi-line reply that
    // has begun (0: none), and the end and code of a whole reply found.
    std::size_t m_scanFrom = 0;
    int m_openCode = 0;
    std::size_t m_foundEnd = std::string::npos;
    int m_foundCode = 0;
};
