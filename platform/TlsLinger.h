#pragma once

#include "platform/TlsStream.h"

#include <QObject>

#include <memory>
#include <unordered_map>

class QSocketNotifier;
class QTimer;

// Ends TLS connections the way servers need: close_notify goes out, then the socket stays open,
// read and discarded, until the peer's close_notify or the end of the stream comes or a short time
// passes, and only then is it closed. Closing at once while the server's session ticket lies unread
// sends a reset, and a reset throws away what the server has not read yet: the end of an upload.
// Some servers never answer close_notify, so the wait ends by time and is no failure.
class CTlsLinger : public QObject {
    Q_OBJECT
public:
    static constexpr int kLingerMs = 2000;

    // Takes the socket and its TLS connection; the socket number stays taken until it is closed.
    static void Close(int fd, std::unique_ptr<CTlsStream> stream);
    // How many sockets are still lingering.
    static std::size_t Count();

private:
    struct Lingering {
        std::unique_ptr<CTlsStream> stream;
        QSocketNotifier* reader = nullptr;
        QSocketNotifier* writer = nullptr;
        QTimer* timer = nullptr;
        bool notifySent = false;
    };

    using QObject::QObject;
    ~CTlsLinger() override;
    static CTlsLinger* Instance();
    void Step(int fd);
    void Finish(int fd);

    std::unordered_map<int, Lingering> m_sockets;
};
