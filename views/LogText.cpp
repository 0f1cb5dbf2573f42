#include "views/LogText.h"

#include <algorithm>

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

void CLogText::AppendLog(const std::string& text) {
    Trim();
    m_text += text;
    m_lineEnds += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    emit Appended(text);
}
