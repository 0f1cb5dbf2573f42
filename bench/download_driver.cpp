// Downloads one file from an FTP server with the session engine and prints the time it took in
// milliseconds (from the download's start to the end of the operation). Used by
// download_vs_curl.sh; the settings store must point at a scratch folder (LUMO_CONFIG_DIR).
#include "engine/FtpEngine.h"
#include "views/LogText.h"
#include "views/QXDoc.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
class BenchUi : public CEngineUi {
public:
    CLogText log;
    std::string currentPath;
    bool listed = false;

    CLogText& Log() override { return log; }
    std::string GetCurrentPath() override { return currentPath; }
    void SetCurrentFolder(const std::string& path) override {
        currentPath = path == "/" ? std::string() : path;
    }
    void SetConnectedState(bool) override {}
    void ClearFileList() override {}
    void FillFileList(const std::string&) override { listed = true; }
    std::vector<FileListRow> FileListRows() override { return {}; }
    void SetStatusText(const std::string&, const std::string&) override {}
    void ProgressChanged(const CTransferProgress&) override {}
    int AskAccount(int, const HostRecord&, std::string&, std::string&) override { return 2; }
    int AskFileOverwrite(OverwriteForm, const std::string&, const std::string&, const std::string&) override {
        return 1;
    }
    int AskFolderOverwrite(const std::string&) override { return 1; }
    bool IsAsciiMode() override { return false; }
    void ShellOpen(const std::string&, const std::string&) override {}
};
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 8) {
        std::fprintf(stderr, "usage: %s port user pass remote-name size local-folder pasv(0|1)\n", argv[0]);
        return 2;
    }
    HostRecord host;
    host.Name = "bench";
    host.Adr = "127.0.0.1";
    host.Port = std::atoi(argv[1]);
    host.User = argv[2];
    host.Pass = argv[3];
    host.Pasv = std::atoi(argv[7]);
    CQXDoc().SaveHost(0, host);

    BenchUi ui;
    CFtpEngine engine(ui);
    QElapsedTimer clock;
    bool started = false;
    int result = 1;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!engine.IsConnected()) {
            std::fprintf(stderr, "%s", ui.log.Text().c_str());
            app.exit(1);
        } else if (!started && ui.listed && engine.m_busy == 0) {
            started = true;
            clock.start();
            engine.DownloadFiles(argv[6], {FileListRow{argv[4], argv[5], "", "-rw-r--r--"}});
        } else if (started && engine.m_busy == 0 && engine.m_opQueue.empty()) {
            std::printf("%lld\n", static_cast<long long>(clock.elapsed()));
            result = ui.log.Text().find("ダウンロードが正常終了しました") == std::string::npos ? 1 : 0;
            app.exit(result);
        }
    });
    poll.start();
    engine.Connect(0);
    return app.exec();
}
