#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Checks of what the user typed into the settings sheets, made before anything is stored. Each
// check gives the message to show, or an empty text when the value may be stored.

// An unsigned decimal integer from `low` to `high` (blanks around it allowed).
std::optional<std::uint32_t> ReadUnsignedInRange(const QString& text, std::uint32_t low, std::uint32_t high,
                                                 QString& message);

// The host's port: a decimal integer from 1 to 65535.
std::optional<int> ReadHostPort(const QString& text, QString& message);
// The firewall's port: an unsigned decimal integer up to 65535; 0 (not set up) only while the host
// does not go through the firewall.
std::optional<std::uint32_t> ReadFirewallPort(const QString& text, bool firewallUsed, QString& message);

// An address is one host name or IP address: no blanks, no line breaks.
QString AddressProblem(const QString& text, const QString& what);
// A value that goes to the server on a command line of its own (user, password, mail address): a
// line break would start a second command.
QString LineBreakProblem(const QString& text, const QString& what);
// The bytes of a text must fit the store's text buffer with their terminator, or the text would read
// back as its default.
QString TextLengthProblem(std::string_view bytes, const QString& what);
// A text kept one line to a value (StoredLines.h): each line must fit as above.
QString LinesLengthProblem(const std::string& bytes, const QString& what);
// A password is kept up to 400 bytes; a longer one would be cut without a word.
QString PasswordLengthProblem(std::string_view bytes, const QString& what);

// How a stored text is shown: UTF-8, or CP932 for bytes that are not UTF-8 (texts from elsewhere).
QString ShownText(std::string_view stored);
// The bytes to store for a text shown as `shown`: the stored bytes themselves while the text is
// unchanged, so that a text in another encoding keeps its bytes; otherwise its UTF-8 form.
std::string TextForStore(std::string_view stored, const QString& shown);
