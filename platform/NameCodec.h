#pragma once

#include "platform/TextCodec.h"

#include <QString>

#include <string>
#include <string_view>

// How one session's names go between the server's bytes and text: the set the host asks for (or
// the server offered), and on Auto the set that names which are not UTF-8 were found in (CP932
// unless a listing showed EUC-JP). Each engine keeps its own, so sessions that run side by side
// each read their own server's names.
class NameCodec {
public:
    NameCodec() = default;
    // A new session's names: nothing found yet.
    explicit NameCodec(RemoteCharset set) : m_set(set) {}

    RemoteCharset Set() const { return m_set; }
    // Auto while no name that is not UTF-8 has been seen.
    RemoteCharset LegacySet() const { return m_legacySet; }
    void NoteLegacySet(RemoteCharset set) { m_legacySet = set; }
    // Listings are looked at for the set of their names: on Auto before another set was found.
    bool StillGuessing() const { return m_set == RemoteCharset::Auto && m_legacySet == RemoteCharset::Auto; }

    // A server's name as text: in the session's set; on Auto as UTF-8 when the bytes are valid
    // UTF-8, otherwise in the set found for the others.
    QString Decode(std::string_view raw) const;
    // A name typed by the user or read from a local file name, as it goes to the server: in the
    // session's set, on Auto in UTF-8 until names in another set were seen.
    std::string Encode(const QString& text) const;
    // A text of this program's (the store, the log, a status line) that may hold a server's names:
    // as UTF-8 when it is valid UTF-8, otherwise as the session's names. Kept apart from Decode so
    // that a host with a fixed set does not change how the program's own words are read.
    QString DecodeMixed(std::string_view bytes) const;

    bool operator==(const NameCodec&) const = default;

private:
    RemoteCharset m_set = RemoteCharset::Auto;
    RemoteCharset m_legacySet = RemoteCharset::Auto;
};
