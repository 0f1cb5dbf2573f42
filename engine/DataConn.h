#pragma once

#include "engine/LineEndings.h"
#include "platform/LocalFiles.h"
#include "platform/Socket.h"

#include <QFile>

#include <cstdint>
#include <memory>
#include <string>

// The data side of the running listing or transfer, and everything the transfer keeps about itself.
// Only one operation runs at a time, and its entry goes when the operation ends, so the table never
// holds a stale entry whose file could catch a later transfer's data.
struct DataConn {
    // The data connection; none until it is accepted or connected.
    Socket sock;
    // The local file: read by an upload from its start, written by a download once the server has
    // accepted the transfer (until then an existing file stays untouched). None for listings.
    std::unique_ptr<QFile> file;
    // The message the data socket reports under.
    std::int32_t msg = 0;
    // Before `sock` exists: the listening socket (active mode) or the connecting one (passive).
    Socket waiting;

    // A download's local file, opened when the server accepts, and how; whether this download made
    // it. A name that this run wrote already from another remote file (`clashWith`) is not used:
    // the file is made beside it under a numbered name.
    std::string localPath;
    // The file on the server (the server's bytes).
    std::string remotePath;
    WriteOpen open = WriteOpen::CreateNew;
    std::string clashWith;
    bool created = false;
    bool ascii = false;
    CrLfToLf crLfToLf;
    LfToCrLf lfToCrLf;
    // Where the transfer starts in the file (REST goes out when it is not 0); the whole size (of an
    // upload's file, of a download's as listed), and the size the server's reply to RETR announced
    // (-1: unknown).
    std::int64_t offset = 0;
    std::int64_t expected = -1;
    std::int64_t announced = -1;
    // Bytes moved over the data connection.
    std::int64_t moved = 0;
    // LIST, RETR or STOR has gone out: data may flow.
    bool commandSent = false;
    // An upload has read its file to the end.
    bool atEnd = false;
    // What an upload has read (and converted) but not yet handed to the socket, from `outgoingAt`
    // on: the file is read in large pieces, the socket gets one send block at a time.
    std::string outgoing;
    std::size_t outgoingAt = 0;
    // The server has answered the transfer command; an upload sent whole before that waits for
    // it to close the connection (`sentWhole`): a server that found the data connection closed
    // before it had read STOR could take the close for the end of nothing.
    bool answered = false;
    bool sentWhole = false;
    // The TLS of a protected data connection: not begun, shaking hands, or done.
    enum class Tls { None, Handshake, Done };
    Tls tls = Tls::None;
    // The data side is over: its connection closed (or never to come).
    bool ended = false;
    // Why the data side failed; empty while it is sound. The transfer then fails whatever the
    // server's final reply says.
    std::string failure;

    bool IsTransfer() const { return !localPath.empty() || file != nullptr; }
};
