#include "views/LogFile.h"

#include "platform/TextCodec.h"

#include <QSaveFile>

std::string LogFileBytes(std::string_view logText) {
    std::string out;
    out.reserve(logText.size() + logText.size() / 16);
    while (!logText.empty()) {
        const size_t end = logText.find('\n');
        std::string_view line = logText.substr(0, end);
        const bool ended = end != std::string_view::npos;
        logText.remove_prefix(ended ? end + 1 : logText.size());
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out += IsValidUtf8(line) ? EncodeCp932(DecodeUtf8(line)) : std::string(line);
        if (ended)
            out += "\r\n";
    }
    return out;
}

bool WriteLogFile(const QString& path, const std::string& bytes, QString* error) {
    QSaveFile file(path);
    // A file that may be written where its folder may not still takes the log.
    file.setDirectWriteFallback(true);
    const qint64 size = static_cast<qint64>(bytes.size());
    if (file.open(QIODevice::WriteOnly) && file.write(bytes.data(), size) == size && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}
