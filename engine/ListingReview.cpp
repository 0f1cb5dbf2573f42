#include "engine/ListingReview.h"

#include "platform/MemoryPages.h"

#include <algorithm>
#include <iterator>

void ListingReview::Begin(bool lookAtNames) {
    m_lookAtNames = lookAtNames;
    m_otherNames = false;
    m_allEucJp = true;
    m_now = CurrentListingNow();
    m_tail.clear();
    m_unreadable.clear();
    m_unreadableCount = 0;
    m_entries.clear();
}

void ListingReview::Feed(std::string_view piece) {
    const std::size_t lastEnd = piece.rfind('\n');
    if (lastEnd == std::string_view::npos) {
        m_tail.append(piece);
        return;
    }
    if (!m_tail.empty()) {
        // The line begun in an earlier piece ends in this one.
        const std::size_t firstEnd = piece.find('\n');
        m_tail.append(piece.substr(0, firstEnd + 1));
        ReadLines(m_tail);
        m_tail.clear();
        piece.remove_prefix(firstEnd + 1);
    }
    const std::size_t nextEnd = piece.rfind('\n');
    const std::size_t end = nextEnd == std::string_view::npos ? 0 : nextEnd + 1;
    ReadLines(piece.substr(0, end));
    m_tail.assign(piece.substr(end));
}

void ListingReview::Finish() {
    ReadLines(m_tail);
    m_tail.clear();
}

void ListingReview::Release() {
    std::string().swap(m_tail);
    std::vector<RemoteEntry>().swap(m_entries);
    std::vector<std::string_view>().swap(m_lines);
}

void ListingReview::MakeRoomFor(std::size_t lines) {
    // Room reserved but not yet written takes no memory, while each step of growth moves the entries
    // read so far into fresh pages, and a fresh page costs more than the entries written into it:
    // the room starts at twice the first piece's lines, a listing longer than that gets 16 MB at
    // once, and the room then doubles. The pages are made ready for each piece's entries at once.
    constexpr std::size_t kSecondRoom = (16u << 20) / sizeof(RemoteEntry);
    const std::size_t need = m_entries.size() + lines;
    if (m_entries.capacity() >= need) {
        PrepareForWriting(m_entries.data() + m_entries.size(), lines * sizeof(RemoteEntry));
        return;
    }
    const std::size_t have = m_entries.capacity();
    const std::size_t room = have == 0 ? 2 * lines : have < kSecondRoom ? kSecondRoom : 2 * have;
    std::vector<RemoteEntry> bigger;
    bigger.reserve(std::max(room, need));
    if (bigger.capacity() >= kSecondRoom)
        PreferLargePages(bigger.data(), bigger.capacity() * sizeof(RemoteEntry));
    PrepareForWriting(bigger.data(), need * sizeof(RemoteEntry));
    std::move(m_entries.begin(), m_entries.end(), std::back_inserter(bigger));
    m_entries.swap(bigger);
}

void ListingReview::ReadLines(std::string_view text) {
    SplitLines(text, m_lines);
    MakeRoomFor(m_lines.size());
    for (std::string_view line : m_lines) {
        const ListingLine kind = ReadListingLine(line, m_now, m_entry);
        if (kind == ListingLine::Unreadable) {
            NoteUnreadable(line);
            continue;
        }
        if (kind != ListingLine::Entry)
            continue;
        if (m_lookAtNames && !IsValidUtf8(m_entry.name)) {
            m_otherNames = true;
            m_allEucJp = m_allEucJp && IsValidEucJp(m_entry.name);
        }
        m_entries.push_back(std::move(m_entry));
    }
}

void ListingReview::NoteUnreadable(std::string_view line) {
    ++m_unreadableCount;
    if (m_unreadable.size() >= kKeptLines)
        return;
    const std::string_view head = LineHead(line, kHeadBytes);
    m_unreadable.push_back({std::string(head), line.size() - head.size()});
}

RemoteCharset ListingReview::LegacySet() const {
    // EUC-JP names mostly read as CP932 too (as half-width kana), while CP932 names with kanji are
    // hardly ever valid EUC-JP.
    if (!m_otherNames)
        return RemoteCharset::Auto;
    return m_allEucJp ? RemoteCharset::EucJp : RemoteCharset::ShiftJis;
}

std::string_view LineHead(std::string_view line, std::size_t max) {
    if (line.size() <= max)
        return line;
    // A UTF-8 character is at most four bytes: the cut moves back over up to three that continue
    // one, to the byte that begins it.
    std::size_t cut = max;
    while (cut + 3 > max && cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
        --cut;
    if ((cut == max || static_cast<unsigned char>(line[cut]) >= 0xC0) && IsValidUtf8(line.substr(0, cut)))
        return line.substr(0, cut);
    // CP932: a lead byte takes the byte after it, whatever that is.
    std::size_t end = 0;
    for (;;) {
        const unsigned char c = static_cast<unsigned char>(line[end]);
        const std::size_t width = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC) ? 2 : 1;
        if (end + width > max)
            return line.substr(0, end);
        end += width;
    }
}

std::string GroupedCount(std::size_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}
