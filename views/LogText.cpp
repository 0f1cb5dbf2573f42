#include "views/LogText.h"

#include <algorithm>

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

CLogText::CLogText(std::size_t limit, QObject* parent) : QObject(parent), m_limit(limit) {}

int CLogText::LineCount() const {
    return 1 + static_cast<int>(m_lineEnds);
}

void CLogText::Trim() {
    const std::size_t p = m_text.size() + 2 * static_cast<std::size_t>(LineCount());
    if (m_limit >= kTrimMargin && p <= m_limit - kTrimMargin)
        return;
    std::size_t cut = 0;
    int line = 0;
    while (line < kTrimLines) {
        std::size_t nl = m_text.find('\n', cut);
        if (nl == std::string::npos) {
            cut = m_text.size();
            break;
        }
        cut = nl + 1;
        ++line;
    }
    if (cut == 0)
        return;
    m_text.erase(0, cut);
    m_lineEnds -= static_cast<std::size_t>(line);
    emit Trimmed(cut);
}

void CLogText::Add(const std::string& text) {
    m_text += text;
    m_lineEnds += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    emit Appended(text);
}

void CLogText::AppendLog(const std::string& text) {
    Trim();
    Add(text);
}

std::size_t CLogText::FindReplyEnd() {
    // RFC 959 4.2: a reply whose line begins "ddd-" goes on to the line that begins with the same
    // three digits and a space; a line of other digits and a space inside it is text, even when a
    // read happens to end after it. Text before any reply line ends at the first "ddd " line.
    while (m_foundEnd == std::string::npos) {
        const std::size_t nl = m_pending.find('\n', m_scanFrom);
        if (nl == std::string::npos)
            break;
        const std::size_t start = m_scanFrom;
        m_scanFrom = nl + 1;
        if (nl - start < 4 || !IsDigit(m_pending[start]) || !IsDigit(m_pending[start + 1]) ||
            !IsDigit(m_pending[start + 2]))
            continue;
        const int code =
            (m_pending[start] - '0') * 100 + (m_pending[start + 1] - '0') * 10 + (m_pending[start + 2] - '0');
        const char separator = m_pending[start + 3];
        if (m_openCode == 0 && separator == '-') {
            m_openCode = code;
        } else if (separator == ' ' && (m_openCode == 0 || m_openCode == code)) {
            m_foundEnd = m_scanFrom;
            m_foundCode = code;
        }
    }
    return m_foundEnd;
}

bool CLogText::AppendReply(const std::string& received) {
    Trim();
    m_pending += received;
    const std::size_t end = FindReplyEnd();
    if (end == std::string::npos)
        return false;
    m_replyCode = m_foundCode;
    std::string reply = m_pending.substr(0, end);
    m_pending.erase(0, end);
    m_scanFrom = 0;
    m_openCode = 0;
    m_foundEnd = std::string::npos;
    Add(reply);
    m_lastReply = std::move(reply);
    return true;
}

void CLogText::DiscardPending() {
    m_pending.clear();
    m_scanFrom = 0;
    m_openCode = 0;
    m_foundEnd = std::string::npos;
}

std::string CLogText::GetLastReplyLine() const {
    // The line that the last line end closes; after a reply that is the reply's final line.
    const std::size_t end = m_text.rfind('\n');
    if (end == std::string::npos)
        return {};
    std::size_t begin = end == 0 ? std::string::npos : m_text.rfind('\n', end - 1);
    begin = begin == std::string::npos ? 0 : begin + 1;
    std::string line = m_text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > kLastLineMax)
        line.resize(kLastLineMax);
    return line;
}
