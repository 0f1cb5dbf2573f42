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

// How a server's name is shown: UTF-8 when the bytes are valid UTF-8, otherwise CP932.
QString DecodeRemoteName(std::string_view raw);

// A name as the server sent it, with the text shown for it. The raw bytes are what goes back.
struct RemoteName {
    std::string raw;
    QString display;
    bool utf8 = true;

    static RemoteName fromRaw(std::string raw);
};
