#include "engine/ListingReview.h"

void ListingReview::Begin(bool lookAtNames) {
    m_lookAtNames = lookAtNames;
    m_readUpTo = 0;
    m_otherNames = false;
    m_allEucJp = true;
    m_now = CurrentListingNow();
    m_unreadable.clear();
}

void ListingReview::Read(std::string_view listing, bool whole) {
    if (m_readUpTo > listing.size())
        m_readUpTo = 0;
    std::size_t end = listing.size();
    if (!whole) {
        const std::size_t lastEnd = listing.rfind('\n');
        if (lastEnd == std::string_view::npos || lastEnd < m_readUpTo)
            return;
        end = lastEnd + 1;
    }
    for (std::string_view line : SplitLines(listing.substr(m_readUpTo, end - m_readUpTo))) {
        const ListingLine kind = ReadListingLine(line, m_now, m_entry);
        if (kind == ListingLine::Unreadable) {
            m_unreadable.emplace_back(line);
        } else if (kind == ListingLine::Entry && m_lookAtNames && !IsValidUtf8(m_entry.name)) {
            m_otherNames = true;
            m_allEucJp = m_allEucJp && IsValidEucJp(m_entry.name);
        }
    }
    m_readUpTo = end;
}

RemoteCharset ListingReview::LegacySet() const {
    // EUC-JP names mostly read as CP932 too (as half-width kana), while CP932 names with kanji are
    // hardly ever valid EUC-JP.
    if (!m_otherNames)
        return RemoteCharset::Auto;
    return m_allEucJp ? RemoteCharset::EucJp : RemoteCharset::ShiftJis;
}
