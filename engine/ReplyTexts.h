#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the engine reads out of the text of a server's reply.

// The address and port of a 227 reply: the first six comma-separated numbers after the code,
// wherever they stand (in parentheses, after "=", or bare, as RFC 1123 4.1.2.6 asks a client to
// accept). False when there are none, or when one of them lies outside 0..255.
bool ParsePasvReply(std::string_view line, std::string& address, int& port);

// The folder a 257 reply names: the text between the first quote and the quote that closes it, a
// doubled quote standing for one (RFC 959). Empty when the reply holds no quoted, non-empty path.
std::optional<std::string> ParsePwdReply(std::string_view line);

// The size a 150 reply announces, as in "150 Opening BINARY mode data connection for x (1048576
// bytes)."; -1 when it names none.
std::int64_t ParseAnnouncedSize(std::string_view line);
