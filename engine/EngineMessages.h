#pragma once

#include <QLoggingCategory>

#include <cstdint>
#include <string>

// The engine's messages: one per protocol step, numbered from the first private message number.
// An operation code that equals one of these numbers means "arm the control connection under
// This message", and the data connection table stores them, so the numbers are fixed. Each comment
// Says what the step waits for; the chains that move data have one comment for their steps in
// Order (TYPE, PASV or PORT, LIST / REST and the transfer command, the data socket).

// The name lookup of the host (or the firewall) has an answer.
inline constexpr int WM_FTP_HOSTFOUND = 0x400;
// The control connection is made, then the greeting.
inline constexpr int WM_FTP_CONNECT = 0x401;
// USER is sent, then its reply (331 asks for PASS, 230 is logged in).
inline constexpr int WM_FTP_USER = 0x402;
// PASS is sent, then its reply; a refusal asks for the account again.
inline constexpr int WM_FTP_PASS = 0x403;
// The firewall's greeting.
inline constexpr int WM_FTP_FIRECONNECT = 0x40c;
// The firewall's own USER and its reply.
inline constexpr int WM_FTP_FIREUSER = 0x40d;
// The firewall's own PASS and its reply.
inline constexpr int WM_FTP_FIREPASS = 0x40e;
// The command that names the host to the firewall (SITE, OPEN or USER user@host).
inline constexpr int WM_FTP_FIREOPEN = 0x40f;
// ABOR is sent, then the reply to the transfer it ends and its own.
inline constexpr int WM_FTP_ABOR = 0x410;
// Nothing runs: a reply or the server closing the connection, unasked.
inline constexpr int WM_FTP_IDLE = 0x411;
// PWD is sent, then the folder its reply names.
inline constexpr int WM_FTP_PWD = 0x412;
// RNFR is sent, then 350.
inline constexpr int WM_FTP_RNFR = 0x414;
// RNTO is sent, then its reply.
inline constexpr int WM_FTP_RNTO = 0x415;
// DELE is sent, then its reply.
inline constexpr int WM_FTP_DELE = 0x41e;
// RMD is sent, then its reply.
inline constexpr int WM_FTP_RMD = 0x41f;
// CWD into a folder being deleted, before its listing.
inline constexpr int WM_FTP_DELCWD = 0x420;
// The listing of a folder being deleted: TYPE, PASV or PORT, LIST, its data.
inline constexpr int WM_FTP_DELTYPE = 0x421;
inline constexpr int WM_FTP_DELPASV = 0x422;
inline constexpr int WM_FTP_DELLIST = 0x423;
inline constexpr int WM_FTP_DELDATA = 0x424;
// The file list's listing: TYPE, PASV or PORT, LIST (or MLSD), its data.
inline constexpr int WM_FTP_TYPE = 0x432;
inline constexpr int WM_FTP_PASV = 0x433;
inline constexpr int WM_FTP_LIST = 0x434;
inline constexpr int WM_FTP_LISTDATA = 0x436;
// CDUP is sent, then its reply (PWD follows).
inline constexpr int WM_FTP_CDUP = 0x446;
// CWD is sent, then its reply (PWD follows).
inline constexpr int WM_FTP_CWD = 0x44b;
// SITE CHMOD (or the host's command) is sent, then its reply.
inline constexpr int WM_FTP_CHMOD = 0x450;
// MKD is sent, then its reply.
inline constexpr int WM_FTP_MKD = 0x478;
// A download: TYPE, PASV or PORT, REST when it resumes, RETR, its data.
inline constexpr int WM_FTP_GETTYPE = 0x4be;
inline constexpr int WM_FTP_GETPASV = 0x4bf;
inline constexpr int WM_FTP_RETR = 0x4c8;
inline constexpr int WM_FTP_REST = 0x4ca;
inline constexpr int WM_FTP_GETDATA = 0x4cc;
// CWD into a folder being downloaded, before its listing.
inline constexpr int WM_FTP_GETCWD = 0x4cd;
// The listing of a folder being downloaded: TYPE, PASV or PORT, LIST, its data.
inline constexpr int WM_FTP_GETDIRTYPE = 0x4ce;
inline constexpr int WM_FTP_GETDIRPASV = 0x4cf;
inline constexpr int WM_FTP_GETDIRLIST = 0x4d0;
inline constexpr int WM_FTP_GETDIRDATA = 0x4d1;
// An upload: TYPE, PASV or PORT, REST when it resumes, STOR, its data.
inline constexpr int WM_FTP_PUTTYPE = 0x4fb;
inline constexpr int WM_FTP_PUTPASV = 0x4fc;
inline constexpr int WM_FTP_PUTREST = 0x4fe;
inline constexpr int WM_FTP_STOR = 0x4ff;
inline constexpr int WM_FTP_PUTDATA = 0x501;
// FEAT is sent after the login, then the features its reply lists.
inline constexpr int WM_FTP_FEAT = 0x540;
// OPTS UTF8 ON is sent, then its reply.
inline constexpr int WM_FTP_OPTSUTF8 = 0x541;
// A file's size: TYPE I when the session is not in binary already (servers give no size in ASCII
// mode), then SIZE.
inline constexpr int WM_FTP_SIZETYPE = 0x542;
inline constexpr int WM_FTP_SIZE = 0x543;
// QUIT has gone out on the connection of a closed session: its answer, or the close.
inline constexpr int WM_FTP_QUIT = 0x544;
// CWD into a folder listed for a caller of its own (a mirror's walk), then its listing: TYPE, PASV or
// PORT, LIST, its data.
inline constexpr int WM_FTP_TREECWD = 0x545;
inline constexpr int WM_FTP_TREETYPE = 0x546;
inline constexpr int WM_FTP_TREEPASV = 0x547;
inline constexpr int WM_FTP_TREELIST = 0x548;
inline constexpr int WM_FTP_TREEDATA = 0x549;
// MFMT for a batch of files: the commands go out several at once, then their replies.
inline constexpr int WM_FTP_MFMT = 0x54a;

// Encrypted sessions. AUTH TLS is sent, then 234.
inline constexpr int WM_FTP_AUTH = 0x520;
// The TLS handshake of the control connection.
inline constexpr int WM_FTP_TLS = 0x521;
// PBSZ 0 is sent, then its reply.
inline constexpr int WM_FTP_PBSZ = 0x522;
// PROT P is sent, then its reply.
inline constexpr int WM_FTP_PROT = 0x523;

// Operation codes that are not messages of their own.
inline constexpr int OP_SHELLOPEN = 5;
inline constexpr int OP_DOWNLOAD = WM_FTP_GETTYPE;
inline constexpr int OP_UPLOAD = 0x4fa;

// The engine's timers.
inline constexpr int TIMER_REPLY = 1;
inline constexpr int TIMER_REARM = 3;
inline constexpr int kRearmIntervalMs = 10000;

// The trace of the engine's steps, off unless asked for:
// QT_LOGGING_RULES="lumo.engine.steps.debug=true" shows every step a session enters.
Q_DECLARE_LOGGING_CATEGORY(lcEngineSteps)
// A message's name without its prefix ("DELE", "GETDATA"); "?" for a number that is none.
const char* StepName(int message);
// Socket events as a text ("read|close").
std::string InterestText(std::uint32_t interest);
