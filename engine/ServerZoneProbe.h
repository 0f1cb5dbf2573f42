#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

class CFtpEngine;

// Finds the time zone of a server's LIST dates, which FTP does not say: sends a small file into
// a folder the person chose, reads the time its listing gives against the clock, and removes the
// file again. Runs only when asked, on a logged-in session that rests.
class CServerZoneProbe : public QObject {
    Q_OBJECT
public:
    // The probe's file, in `remoteFolder` (the server's bytes, a whole path).
    static constexpr const char* kFileName = ".lumo-zone-check";

    CServerZoneProbe(CFtpEngine& engine, std::string remoteFolder, QObject* parent = nullptr);

    // Finished() follows.
    void Start();
    // Minutes east of UTC, a multiple of 15; nothing when it could not be told (Error() says why).
    [[nodiscard]] std::optional<int> Offset() const { return m_offset; }
    [[nodiscard]] const QString& Error() const { return m_error; }

signals:
    void Finished();

private:
    void OnListed(bool complete, const std::vector<struct RemoteEntry>& entries);
    void OnIdle();

    CFtpEngine& m_engine;
    std::string m_folder;
    std::string m_local;
    bool m_listed = false;
    bool m_finished = false;
    std::optional<int> m_offset;
    QString m_error;
};
