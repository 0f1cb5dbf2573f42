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

bool CLogText::AppendReply(const std::string& received) {
    Trim();
    m_pending += received;
    const std::size_t len = m_pending.size();
    if (len <= 3 || m_pending.back() != '\n')
        return false;
    std::size_t start = 0;
    for (std::size_t i = len - 2; i >= 1; --i) {
        if (m_pending[i] == '\n') {
            start = i + 1;
            break;
        }
    }
    if (len - start < 4 || !IsDigit(m_pending[start]) || !IsDigit(m_pending[start + 1]) ||
        !IsDigit(m_pending[start + 2]) || m_pending[start + 3] != ' ')
        return false;
    m_replyCode =
        (m_pending[start] - '0') * 100 + (m_pending[start + 1] - '0') * 10 + (m_pending[start + 2] - '0');
    std::string reply;
    reply.swap(m_pending);
    Add(reply);
    return true;
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
