#pragma once

#include "engine/ListingReader.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A line no layout fits, as far as it is kept: a server may send a line of megabytes, or a million
// such lines, and the log shows each kept one as a line of its own.
struct UnreadableLine {
    // The first bytes, cut between two characters of UTF-8 or else of CP932.
    std::string head;
    // How many bytes of the line came after the head.
    std::size_t leftOut = 0;
};

// Reads a listing as it arrives, piece by piece: its entries, the lines no layout fits, and on 自動
// the set of the names that are not UTF-8. Reading while the server still sends keeps this work out
// of the time the user waits, each line is read only once, and only an unfinished line is kept as
// text.
class ListingReview {
public:
    // Starts over for a new listing; names are looked at only when `lookAtNames`.
    void Begin(bool lookAtNames);
    // Reads the lines a piece completes; a line without its end waits for the next piece.
    void Feed(std::string_view piece);
    // Reads a last line that came without its line end.
    void Finish();
    // Lets go of everything read so far (a listing that was cut off).
    void Release();

    // Bytes kept of each unreadable line, and how many of those lines are kept: enough to see what
    // the server sent without filling the log.
    static constexpr std::size_t kHeadBytes = 256;
    static constexpr std::size_t kKeptLines = 20;

    // The first kKeptLines unreadable lines.
    const std::vector<UnreadableLine>& Unreadable() const { return m_unreadable; }
    // How many lines were unreadable, kept or not.
    std::size_t UnreadableCount() const { return m_unreadableCount; }
    // The entries read so far, in the listing's order; the review keeps none after this.
    std::vector<RemoteEntry> TakeEntries() { return std::move(m_entries); }
    // The set the names that are not UTF-8 are in (EUC-JP when every one of them is valid EUC-JP,
    // else CP932); Auto when there were none.
    RemoteCharset LegacySet() const;
    // The memory the review holds, in bytes.
    std::size_t HeldBytes() const {
        return m_tail.capacity() + m_entries.capacity() * sizeof(RemoteEntry) +
               m_lines.capacity() * sizeof(std::string_view);
    }

private:
    void ReadLines(std::string_view text);
    void MakeRoomFor(std::size_t lines);
    void NoteUnreadable(std::string_view line);

    bool m_lookAtNames = false;
    bool m_otherNames = false;
    bool m_allEucJp = true;
    ListingNow m_now;
    std::string m_tail;
    RemoteEntry m_entry;
    std::vector<UnreadableLine> m_unreadable;
    std::size_t m_unreadableCount = 0;
    std::vector<RemoteEntry> m_entries;
    // The lines of the piece being read, kept between pieces for their room.
    std::vector<std::string_view> m_lines;
};

// The first bytes of a line, at most `max`, ending between two characters: of UTF-8 when they are
// UTF-8, else of CP932, as the log shows them.
std::string_view LineHead(std::string_view line, std::size_t max);

// A count as the log writes it, its digits in groups of three: "9,999,700".
std::string GroupedCount(std::size_t n);
