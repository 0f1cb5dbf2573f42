#pragma once

#include "engine/Answer.h"
#include "engine/CertificateCheck.h"
#include "engine/ListingParser.h"

#include <string>
#include <vector>

class CTransferProgress;
class NameCodec;
struct HostRecord;

// One row of the remote file list as its columns show it.
struct FileListRow {
    std::string name;
    std::string size;
    std::string date;
    std::string attributes;
    // A symbolic link, which the list shows as a folder.
    bool link = false;

    bool IsFolder() const { return !attributes.empty() && attributes[0] == 'd'; }
};

// The forms of the file overwrite question.
enum class OverwriteForm { Download, Upload };

// What becomes of a download whose local name this run has written already from another remote file
// (two names the file system or the decoding takes for one): saved beside it under a numbered name,
// written over it, skipped, or everything queued stopped.
enum class NameClashAnswer { KeepBoth, Replace, Skip, Cancel };

// Everything the session engine needs from the rest of the program. The main frame implements it
// with the real views, the tests with a recorder, a terminal tool with plain output.
class CEngineUi {
public:
    virtual ~CEngineUi() = default;

    // Whole lines (with their CR LF) for the log pane: every command sent, every reply, the
    // engine's own lines.
    virtual void AppendLog(const std::string& text) = 0;

    // The current remote folder as the host tree knows it ("" for the root), and the folder a
    // PWD reply named.
    virtual std::string GetCurrentPath() = 0;
    virtual void SetCurrentFolder(const std::string& path) = 0;
    // Whether the host tree shows a session.
    virtual void SetConnectedState(bool connected) = 0;
    // The session's names have changed (a new session, UTF-8 offered, a set found in a listing):
    // what shows the server's names reads them with these from now on.
    virtual void NamesChanged(const NameCodec& names) { static_cast<void>(names); }

    // The remote file list: emptied when the session ends, filled with the entries of a finished
    // listing, in the listing's order.
    virtual void ClearFileList() = 0;
    virtual void FillFileList(std::vector<RemoteEntry> entries) = 0;
    virtual std::vector<FileListRow> FileListRows() = 0;
    // The rows of the file list with this name (the server's bytes), most often none. A list of
    // many rows answers without copying the others.
    virtual std::vector<FileListRow> FileListRowsNamed(const std::string& name) {
        std::vector<FileListRow> rows = FileListRows();
        std::erase_if(rows, [&name](const FileListRow& row) { return row.name != name; });
        return rows;
    }

    // Status bar: pane 0 shows the running operation with the icon the shell gives a file of the
    // name in `iconFor` (none when empty); the progress model feeds the bar and panes 2 and 3.
    virtual void SetStatusText(const std::string& text, const std::string& iconFor) = 0;
    virtual void ProgressChanged(const CTransferProgress& progress) = 0;

    // A refused login: the stored account of host number `hostNumber`, to be confirmed or changed.
    // On Yes the engine logs in again with `user` and `pass`.
    virtual Answer AskAccount(int hostNumber, const HostRecord& host, std::string& user,
                              std::string& pass) = 0;
    // An existing file (download: the local file; upload: the remote row's date and size).
    virtual Answer AskFileOverwrite(OverwriteForm form, const std::string& path, const std::string& date,
                                    const std::string& size) = 0;
    // An existing local folder of a folder download.
    virtual Answer AskFolderOverwrite(const std::string& localFolder) = 0;
    // `localPath` was written by this run from `firstRemote`, and `secondRemote` would be saved
    // there too. Without a question both are kept.
    virtual NameClashAnswer AskNameClash(const std::string& localPath, const std::string& firstRemote,
                                         const std::string& secondRemote) {
        static_cast<void>(localPath);
        static_cast<void>(firstRemote);
        static_cast<void>(secondRemote);
        return NameClashAnswer::KeepBoth;
    }
    // A rename would replace `existing`, the file list's row of the new name (`newPath`, the
    // server's bytes), with `renamed` (the row of the entry renamed; empty when the list does not
    // show it). Yes replaces it.
    virtual Answer AskRenameOverwrite(const std::string& newPath, const FileListRow& existing,
                                      const FileListRow& renamed) = 0;
    // The server refused to resume a transfer (download: into `localPath` from `remotePath`;
    // upload: the other way). Yes transfers the whole file again.
    virtual Answer AskTransferWhole(OverwriteForm form, const std::string& localPath,
                                    const std::string& remotePath) = 0;
    // A server certificate that nothing vouches for (Unknown) or that differs from the one accepted
    // for the host before (Changed), shown before anything of the login goes out.
    virtual CertificateAnswer AskCertificate(const HostRecord& host, const TlsPeerInfo& peer,
                                             CertificateStanding standing) = 0;

    // The transfer mode chosen in the tool bar: true for ASCII ("TYPE A"), false for binary.
    virtual bool IsAsciiMode() = 0;
    // Opens a local path with the desktop ("open" a file, "explore" a folder).
    virtual void ShellOpen(const std::string& path, const std::string& verb) = 0;

    // Failures, beside the log that shows them all: a reply of code 400 or above (its last line),
    // and the engine's own text for something asked that was not done (its lines as logged), each
    // with the code of the operation that ran. The window needs neither; a terminal tool turns
    // them into its error lines and exit status.
    virtual void ReplyRefused(int operation, const std::string& line) {
        static_cast<void>(operation);
        static_cast<void>(line);
    }
    virtual void OperationFailed(int operation, const std::string& text) {
        static_cast<void>(operation);
        static_cast<void>(text);
    }
    // The refusal just reported was one the engine tried for and went round (a link entered as a
    // folder, then fetched as a file): no failure.
    virtual void RefusalHandled() {}
};
