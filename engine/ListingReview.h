#pragma once

#include "engine/ListingReader.h"
#include "platform/TextCodec.h"

#include <string>
#include <string_view>
#include <vector>

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

    const std::vector<std::string>& Unreadable() const { return m_unreadable; }
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

    bool m_lookAtNames = false;
    bool m_otherNames = false;
    bool m_allEucJp = true;
    ListingNow m_now;
    std::string m_tail;
    RemoteEntry m_entry;
    std::vector<std::string> m_unreadable;
    std::vector<RemoteEntry> m_entries;
    // The lines of the piece being read, kept between pieces for their room.
    std::vector<std::string_view> m_lines;
};
