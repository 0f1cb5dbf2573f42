#pragma once

#include "engine/ListingReader.h"
#include "platform/TextCodec.h"

#include <string>
#include <string_view>
#include <vector>

// Reads a listing as it arrives, for what the session needs beside the file list: the lines no
// layout fits, and on 自動 the set of the names that are not UTF-8. Reading while the server still
// sends keeps this work out of the time the user waits for the list.
class ListingReview {
public:
    // Starts over for a new listing; names are looked at only when `lookAtNames`.
    void Begin(bool lookAtNames);
    // Reads the lines of `listing` (the whole text received so far) that were not read yet and are
    // complete; with `whole`, also a last line without its line end.
    void Read(std::string_view listing, bool whole);

    const std::vector<std::string>& Unreadable() const { return m_unreadable; }
    // The set the names that are not UTF-8 are in (EUC-JP when every one of them is valid EUC-JP,
    // else CP932); Auto when there were none.
    RemoteCharset LegacySet() const;

private:
    bool m_lookAtNames = false;
    std::size_t m_readUpTo = 0;
    bool m_otherNames = false;
    bool m_allEucJp = true;
    ListingNow m_now;
    RemoteEntry m_entry;
    std::vector<std::string> m_unreadable;
};
