#include "platform/TlsLinger.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

CTlsLinger* CTlsLinger::Instance() {
    // Owned by the application, so the sockets still lingering are closed when it goes.
    static QPointer<CTlsLinger> instance;
    if (!instance)
        instance = new CTlsLinger(QCoreApplication::instance());
    return instance;
}

CTlsLinger::~CTlsLinger() {
    for (auto& [fd, lingering] : m_sockets) {
        lingering.stream.reset();
        ::close(fd);
    }
}

void CTlsLinger::Close(int fd, std::unique_ptr<CTlsStream> stream) {
    CTlsLinger* self = Instance();
    Lingering& l = self->m_sockets[fd];
    l.stream = std::move(stream);
    l.reader = new QSocketNotifier(fd, QSocketNotifier::Read, self);
    l.writer = new QSocketNotifier(fd, QSocketNotifier::Write, self);
    l.reader->setEnabled(false);
    l.writer->setEnabled(false);
    l.timer = new QTimer(self);
    l.timer->setSingleShot(true);
    connect(l.reader, &QSocketNotifier::activated, self, [self, fd] { self->Step(fd); });
    connect(l.writer, &QSocketNotifier::activated, self, [self, fd] { self->Step(fd); });
    connect(l.timer, &QTimer::timeout, self, [self, fd] { self->Finish(fd); });
    l.timer->start(kLingerMs);
    self->Step(fd);
}

std::size_t CTlsLinger::Count() {
    return Instance()->m_sockets.size();
}

void CTlsLinger::Step(int fd) {
    auto it = m_sockets.find(fd);
    if (it == m_sockets.end())
        return;
    Lingering& l = it->second;
    l.reader->setEnabled(false);
    l.writer->setEnabled(false);
    if (!l.notifySent) {
        const TlsStep sent = l.stream->Shutdown();
        if (sent == TlsStep::WantWrite) {
            l.writer->setEnabled(true);
            return;
        }
        // Ok: the peer's close_notify had come already; otherwise the connection is broken.
        if (sent != TlsStep::WantRead) {
            Finish(fd);
            return;
        }
        l.notifySent = true;
    }
    // Reading also takes in session tickets, which the next data connection may resume.
    char discard[16384];
    std::size_t got = 0;
    for (;;) {
        const TlsStep r = l.stream->Read(discard, sizeof discard, got);
        if (r == TlsStep::Ok)
            continue;
        if (r == TlsStep::WantRead)
            l.reader->setEnabled(true);
        else if (r == TlsStep::WantWrite)
            l.writer->setEnabled(true);
        else
            Finish(fd);
        return;
    }
}

void CTlsLinger::Finish(int fd) {
    auto it = m_sockets.find(fd);
    if (it == m_sockets.end())
        return;
    Lingering& l = it->second;
    // The notifiers and the timer may be the very ones whose signal is running now.
    l.reader->setEnabled(false);
    l.writer->setEnabled(false);
    l.timer->stop();
    l.reader->deleteLater();
    l.writer->deleteLater();
    l.timer->deleteLater();
    l.stream.reset();
    ::close(fd);
    m_sockets.erase(it);
}
