#include "engine/TransferProgress.h"

#include <QDateTime>

#include <algorithm>
#include <climits>
#include <cstdio>

CTransferProgress::CTransferProgress(Clock clock) : m_clock(std::move(clock)) {
    if (!m_clock)
        m_clock = [] { return QDateTime::currentSecsSinceEpoch(); };
}

void CTransferProgress::BeginProgress(std::uint64_t position, std::uint64_t total) {
    m_total = total;
    m_done = position;
    m_barPos += position;
    m_barVisible = true;
}

void CTransferProgress::MarkTransferStart() {
    m_start = m_clock();
}

void CTransferProgress::AdvanceProgress(std::uint64_t bytes) {
    m_barPos += bytes;
    m_done += bytes;
    const std::int64_t elapsed = m_clock() - m_start;
    if (elapsed <= 0) {
        m_speedText = "-.--kbyte/s 残り-秒";
    } else {
        const double rate = static_cast<double>(m_done) / static_cast<double>(elapsed);
        // More data than announced leaves nothing to wait for, not a negative time.
        const double left = m_done >= m_total ? 0.0 : static_cast<double>(m_total - m_done) / rate;
        char buf[96];
        std::snprintf(buf, sizeof buf, "%5.2fkbyte/s 残り%lld秒", rate / 1024.0,
                      static_cast<long long>(left));
        m_speedText = buf;
    }
    char buf[96];
    std::snprintf(buf, sizeof buf, "%llu/%llubyte %d%%", static_cast<unsigned long long>(m_done),
                  static_cast<unsigned long long>(m_total), Percent());
    m_countText = buf;
}

void CTransferProgress::ResetProgress() {
    m_barVisible = false;
    m_barPos = 0;
    m_speedText.clear();
    m_countText.clear();
}

int CTransferProgress::Percent() const {
    if (m_total == 0)
        return 0;
    // done * 100 / total without overflow: the whole part, then the fraction of the remainder.
    const std::uint64_t whole = m_done / m_total;
    const std::uint64_t rest = m_done % m_total;
    std::uint64_t part;
    if (rest <= UINT64_MAX / 100)
        part = rest * 100 / m_total;
    else
        part = std::min<std::uint64_t>(rest / (m_total / 100), 99);
    const std::uint64_t percent = whole * 100 + part;
    return percent > INT_MAX ? INT_MAX : static_cast<int>(percent);
}

int CTransferProgress::Scale() const {
    int shift = 0;
    while ((m_total >> shift) > static_cast<std::uint64_t>(INT_MAX))
        ++shift;
    return shift;
}

int CTransferProgress::BarMaximum() const {
    return static_cast<int>(m_total >> Scale());
}

int CTransferProgress::BarValue() const {
    const std::uint64_t v = m_barPos >> Scale();
    return static_cast<int>(std::min<std::uint64_t>(v, static_cast<std::uint64_t>(BarMaximum())));
}
