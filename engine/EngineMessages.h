#pragma once

#include <cstdint>

// The engine's messages: one per protocol step, numbered from the first private message number.
// An operation code that equals one of these numbers means "arm the control connection under
// this message", and the data connection table stores them, so the numbers are fixed.
inline constexpr int WM_FTP_HOSTFOUND = 0x400;
inline constexpr int WM_FTP_CONNECT = 0x401;
inline constexpr int WM_FTP_USER = 0x402;
inline constexpr int WM_FTP_PASS = 0x403;
inline constexpr int WM_FTP_FIRECONNECT = 0x40c;
inline constexpr int WM_FTP_FIREUSER = 0x40d;
inline constexpr int WM_FTP_FIREPASS = 0x40e;
inline constexpr int WM_FTP_FIREOPEN = 0x40f;
inline constexpr int WM_FTP_ABOR = 0x410;
inline constexpr int WM_FTP_IDLE = 0x411;
inline constexpr int WM_FTP_PWD = 0x412;
inline constexpr int WM_FTP_RNFR = 0x414;
inline constexpr int WM_FTP_RNTO = 0x415;
inline constexpr int WM_FTP_DELE = 0x41e;
inline constexpr int WM_FTP_RMD = 0x41f;
inline constexpr int WM_FTP_DELCWD = 0x420;
inline constexpr int WM_FTP_DELTYPE = 0x421;
inline constexpr int WM_FTP_DELPASV = 0x422;
inline constexpr int WM_FTP_DELLIST = 0x423;
inline constexpr int WM_FTP_DELDATA = 0x424;
inline constexpr int WM_FTP_TYPE = 0x432;
inline constexpr int WM_FTP_PASV = 0x433;
inline constexpr int WM_FTP_LIST = 0x434;
inline constexpr int WM_FTP_LISTDATA = 0x436;
inline constexpr int WM_FTP_CDUP = 0x446;
inline constexpr int WM_FTP_CWD = 0x44b;
inline constexpr int WM_FTP_CHMOD = 0x450;
inline constexpr int WM_FTP_MKD = 0x478;
inline constexpr int WM_FTP_GETTYPE = 0x4be;
inline constexpr int WM_FTP_GETPASV = 0x4bf;
inline constexpr int WM_FTP_RETR = 0x4c8;
inline constexpr int WM_FTP_REST = 0x4ca;
inline constexpr int WM_FTP_GETDATA = 0x4cc;
inline constexpr int WM_FTP_GETCWD = 0x4cd;
inline constexpr int WM_FTP_GETDIRTYPE = 0x4ce;
inline constexpr int WM_FTP_GETDIRPASV = 0x4cf;
inline constexpr int WM_FTP_GETDIRLIST = 0x4d0;
inline constexpr int WM_FTP_GETDIRDATA = 0x4d1;
inline constexpr int WM_FTP_PUTTYPE = 0x4fb;
inline constexpr int WM_FTP_PUTPASV = 0x4fc;
inline constexpr int WM_FTP_PUTREST = 0x4fe;
inline constexpr int WM_FTP_STOR = 0x4ff;
inline constexpr int WM_FTP_PUTDATA = 0x501;
// What the server offers, asked after the login, and UTF-8 names switched on.
inline constexpr int WM_FTP_FEAT = 0x540;
inline constexpr int WM_FTP_OPTSUTF8 = 0x541;

// Encrypted sessions.
inline constexpr int WM_FTP_AUTH = 0x520;
inline constexpr int WM_FTP_TLS = 0x521;
inline constexpr int WM_FTP_PBSZ = 0x522;
inline constexpr int WM_FTP_PROT = 0x523;

// Operation codes that are not messages of their own.
inline constexpr int OP_SHELLOPEN = 5;
inline constexpr int OP_DOWNLOAD = WM_FTP_GETTYPE;
inline constexpr int OP_UPLOAD = 0x4fa;

// The engine's timers.
inline constexpr int TIMER_REPLY = 1;
inline constexpr int TIMER_REARM = 3;
inline constexpr int kRearmIntervalMs = 10000;
