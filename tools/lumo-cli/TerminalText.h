#pragma once

#include <QString>

#include <string>
#include <string_view>

// Text from a server as a terminal may show it. Names and replies can hold escape sequences that
// retitle the window, recolour or clear the screen, or a NUL or tab that breaks a column: every
// control character (C0, DEL, C1) is written as \xHH instead.
QString EscapeControls(const QString& text);

// Bytes decoded as the log pane decodes them (UTF-8, else CP932), then escaped; UTF-8 out.
std::string TerminalText(std::string_view raw);
