#include "TerminalUi.h"

#include "TerminalText.h"

#include "engine/EngineMessages.h"
#include "engine/TransferProgress.h"
#include "hosts/HostRecord.h"
#include "platform/TextCodec.h"

namespace {
// Redraws of the progress line: often enough to look alive, rarely enough to cost nothing.
constexpr qint64 kProgressRedrawMs = 100;
constexpr int kBarWidth = 30;

// A line as a terminal should show it: without its CR LF, the lines of a multi-line text joined
// by a space.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else if (c != '\r') {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}
} // namespace

TerminalUi::TerminalUi(const CliArgs& args, std::FILE* err, bool errIsTerminal)
    : m_args(args), m_err(err), m_errIsTerminal(errIsTerminal) {}

void TerminalUi::PrintLog(const std::string& text) {
    EndProgressLine();
    // Each line is decoded on its own, as the log pane does: a server's CP932 names beside UTF-8.
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::fprintf(m_err, "%s\n", TerminalText(line).c_str());
        start = end + 1;
    }
    std::fflush(m_err);
}

void TerminalUi::SetConnectedState(bool connected) {
    if (!connected && onSessionChange)
        onSessionChange();
}

void TerminalUi::NamesChanged(const NameCodec& names) {
    SetShownNames(names);
}

void TerminalUi::SetCurrentFolder(const std::string& path) {
    m_currentPath = path == "/" ? std::string() : path;
}

void TerminalUi::ProgressChanged(const CTransferProgress& progress) {
    if (!m_errIsTerminal)
        return;
    if (!progress.BarVisible() || progress.Total() == 0) {
        EndProgressLine();
        return;
    }
    if (m_progressShown && m_progressClock.isValid() && m_progressClock.elapsed() < kProgressRedrawMs &&
        progress.Done() < progress.Total())
        return;
    m_progressClock.start();
    const int filled =
        static_cast<int>(static_cast<long double>(progress.Done()) * kBarWidth / progress.Total());
    std::string bar(static_cast<std::size_t>(std::min(filled, kBarWidth)), '#');
    bar.resize(kBarWidth, '.');
    std::fprintf(m_err, "\r\033[K[%s] %s  %s", bar.c_str(), progress.CountText().c_str(),
                 progress.SpeedText().c_str());
    std::fflush(m_err);
    m_progressShown = true;
}

void TerminalUi::EndProgressLine() {
    if (!m_progressShown)
        return;
    std::fputs("\r\033[K", m_err);
    std::fflush(m_err);
    m_progressShown = false;
}

Answer TerminalUi::AskAccount(int, const HostRecord&, std::string&, std::string&) {
    // A terminal tool does not ask: the refused login is the failure, with the server's words.
    m_loginRefused = true;
    FlushRefusal();
    if (onSessionChange)
        onSessionChange();
    return Answer::Cancel;
}

Answer TerminalUi::AskFileOverwrite(OverwriteForm, const std::string& path, const std::string&,
                                    const std::string&) {
    switch (m_args.existing) {
    case CliArgs::Existing::Overwrite:
        return Answer::Yes;
    case CliArgs::Existing::Resume:
        return Answer::Resume;
    case CliArgs::Existing::Skip:
        return Answer::No;
    case CliArgs::Existing::Fail:
        break;
    }
    // That one file is left alone; the others of a folder still come.
    Fail(DecodeRemoteName(path).toStdString() +
         " exists already (--overwrite, --resume or --skip says what to do with it)");
    return Answer::No;
}

Answer TerminalUi::AskFolderOverwrite(const std::string& localFolder) {
    switch (m_args.existing) {
    case CliArgs::Existing::Overwrite:
        return Answer::Yes;
    case CliArgs::Existing::Resume:
        // Each file of the tree: a partial one continues, a whole one is skipped.
        return Answer::Resume;
    case CliArgs::Existing::Skip:
        return Answer::No;
    case CliArgs::Existing::Fail:
        break;
    }
    Fail(localFolder + " exists already (--overwrite, --resume or --skip says what to do with it)");
    return Answer::Cancel;
}

Answer TerminalUi::AskRenameOverwrite(const std::string& newPath, const FileListRow&, const FileListRow&) {
    if (m_args.existing == CliArgs::Existing::Overwrite)
        return Answer::Yes;
    Fail(DecodeRemoteName(newPath).toStdString() + " exists already (--overwrite replaces it)");
    return Answer::Cancel;
}

Answer TerminalUi::AskTransferWhole(OverwriteForm, const std::string&, const std::string&) {
    // Only --resume leads to a resume; the server refusing it, the file goes whole as asked.
    return m_args.existing == CliArgs::Existing::Resume ? Answer::Yes : Answer::Cancel;
}

void TerminalUi::ReplyRefused(int operation, const std::string& line) {
    if (m_tolerated.count(operation) != 0)
        return;
    FlushRefusal();
    m_pendingRefusal = OneLine(line);
}

void TerminalUi::OperationFailed(int operation, const std::string& text) {
    if (m_tolerated.count(operation) != 0)
        return;
    std::string line = OneLine(text);
    // The engine's words first, the server's reason after them.
    if (!m_pendingRefusal.empty())
        line += " (" + m_pendingRefusal + ")";
    m_pendingRefusal.clear();
    PrintFailure(DecodeMixedText(line).toStdString());
}

void TerminalUi::FlushRefusal() {
    if (m_pendingRefusal.empty())
        return;
    const std::string line = m_pendingRefusal;
    m_pendingRefusal.clear();
    PrintFailure(DecodeMixedText(line).toStdString());
}

void TerminalUi::Fail(const std::string& line) {
    FlushRefusal();
    PrintFailure("lumo-cli: " + line);
}

void TerminalUi::PrintLine(const std::string& line) {
    EndProgressLine();
    std::fprintf(m_err, "%s\n", TerminalText(line).c_str());
    std::fflush(m_err);
}

void TerminalUi::PrintFailure(const std::string& line) {
    ++m_failures;
    // With -v the log shows the line already; the error line still comes, for scripts that read it.
    PrintLine(line);
}

CertificateAnswer TerminalUi::AskCertificate(const HostRecord& host, const TlsPeerInfo& peer,
                                             CertificateStanding standing) {
    if (!m_args.acceptFingerprint.empty() && m_args.acceptFingerprint == peer.sha256Hex)
        return CertificateAnswer::AcceptOnce;
    std::string why = standing == CertificateStanding::Changed
                          ? "differs from the one accepted for this host before (" +
                                FormatFingerprint(NormaliseFingerprint(host.TlsPin)) + ")"
                          : "cannot be verified: " + peer.verifyText;
    Fail("the certificate of " + host.Adr + " " + why + "; its SHA-256 fingerprint is " +
         FormatFingerprint(peer.sha256Hex) + " (give it with --accept-fingerprint to accept it)");
    return CertificateAnswer::Refuse;
}
