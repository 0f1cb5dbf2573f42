#include "engine/ReplyReader.h"

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

std::size_t ReplyReader::FindReplyEnd() {
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

bool ReplyReader::Feed(std::string_view received) {
    m_pending += received;
    const std::size_t end = FindReplyEnd();
    if (end == std::string::npos)
        return false;
    m_code = m_foundCode;
    m_lastReply = m_pending.substr(0, end);
    m_pending.erase(0, end);
    m_scanFrom = 0;
    m_openCode = 0;
    m_foundEnd = std::string::npos;
    return true;
}

void ReplyReader::DiscardPending() {
    m_pending.clear();
    m_scanFrom = 0;
    m_openCode = 0;
    m_foundEnd = std::string::npos;
}

std::string ReplyReader::LastLine() const {
    // The line the reply's last line end closes.
    const std::size_t end = m_lastReply.rfind('\n');
    if (end == std::string::npos)
        return {};
    std::size_t begin = end == 0 ? std::string::npos : m_lastReply.rfind('\n', end - 1);
    begin = begin == std::string::npos ? 0 : begin + 1;
    std::string line = m_lastReply.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > kLastLineMax)
        line.resize(kLastLineMax);
    return line;
}
