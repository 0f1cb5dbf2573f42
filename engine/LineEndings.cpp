#include "engine/LineEndings.h"

void CrLfToLf::Convert(const char* data, std::size_t size, std::string& out) {
    out.reserve(out.size() + size + 1);
    std::size_t i = 0;
    if (m_pendingCr && size > 0) {
        m_pendingCr = false;
        if (data[0] != '\n')
            out += '\r';
    }
    for (; i < size; ++i) {
        char c = data[i];
        if (c != '\r') {
            out += c;
            continue;
        }
        if (i + 1 == size) {
            m_pendingCr = true;
        } else if (data[i + 1] != '\n') {
            out += '\r';
        }
    }
}

void CrLfToLf::Finish(std::string& out) {
    if (m_pendingCr)
        out += '\r';
    m_pendingCr = false;
}

void LfToCrLf::Convert(const char* data, std::size_t size, std::string& out) {
    out.reserve(out.size() + size + size / 16);
    for (std::size_t i = 0; i < size; ++i) {
        char c = data[i];
        if (c == '\n' && !m_lastWasCr)
            out += '\r';
        out += c;
        m_lastWasCr = c == '\r';
    }
}
