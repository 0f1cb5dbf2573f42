#pragma once

#include <QString>

#include <string>
#include <string_view>

// The one place where bytes become screen text and back. The engine, the log and the store keep
// bytes; remote names stay the server's raw bytes and are only shown decoded.

bool IsValidUtf8(std::string_view bytes);

QString DecodeCp932(std::string_view bytes);
// Characters that CP932 cannot hold become "?".
std::string EncodeCp932(const QString& text);

QString DecodeUtf8(std::string_view bytes);
std::string EncodeUtf8(const QString& text);

// The character sets a host's names may be in. The numbers are the stored values.
enum class RemoteCharset { Auto = 0, Utf8 = 1, ShiftJis = 2, EucJp = 3, Jis = 4 };
inline constexpr int kRemoteCharsetCount = 5;

// The set of a stored number; anything unknown reads as Auto.
RemoteCharset RemoteCharsetOfNumber(int number);
// The set's name as the host settings show it: "自動", "UTF-8", "Shift_JIS (CP932)", ...
QString RemoteCharsetLabel(RemoteCharset set);
// The set a name on the command line means ("auto", "utf-8", "shift_jis", "cp932", "euc-jp", "jis",
// "iso-2022-jp", any case); false for none.
bool RemoteCharsetFromName(std::string_view name, RemoteCharset& set);

bool IsValidEucJp(std::string_view bytes);
QString DecodeIn(RemoteCharset set, std::string_view bytes);
// Characters the set cannot hold become "?".
std::string EncodeIn(RemoteCharset set, const QString& text);

// The names the program shows. Each engine keeps its own session's names (NameCodec); the window
// and lumo-cli show one session at a time and set its names here when they change, for the views,
// dialogs and lines that show a server's names. Nothing of an engine reads these.
class NameCodec;
void SetShownNames(const NameCodec& names);
const NameCodec& ShownNames();

// A server's name as the shown session's names read it (NameCodec::Decode).
QString DecodeRemoteName(std::string_view raw);
// Bytes that every set a server may use reads as the same printable ASCII: no control character, no
// byte above 0x7D, and no \ (where JIS X 0201 has the yen sign, as it has the overline for ~).
bool ReadsAsAscii(std::string_view raw);
// A text of this program's that may hold a server's names, as the shown session's names read it
// (NameCodec::DecodeMixed).
QString DecodeMixedText(std::string_view bytes);
// A text from the settings store: UTF-8, or CP932 as older stores hold it.
QString DecodeStoredText(std::string_view bytes);
// A typed name as the shown session's server gets it (NameCodec::Encode).
std::string EncodeRemoteName(const QString& text);

// A name as the server sent it, with the text shown for it. The raw bytes are what goes back.
struct RemoteName {
    std::string raw;
    QString display;
    bool utf8 = true;

    static RemoteName fromRaw(std::string raw);
};
