#include "CliArgs.h"
#include "CliImport.h"
#include "CliSession.h"
#include "platform/MemoryPages.h"
#include "platform/RegistryStore.h"
#include "settings/TempFolder.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    KeepFreedMemoryForReuse();
    const std::vector<std::string> words(argv + 1, argv + argc);
    const CliParse p = ParseCliArgs(words);
    if (p.args.help) {
        std::fputs(CliUsage().c_str(), stdout);
        return 0;
    }
    if (!p.error.empty()) {
        std::fprintf(stderr, "lumo-cli: %s\n\n%s", p.error.c_str(), CliUsage().c_str());
        return 2;
    }
    QCoreApplication app(argc, argv);
    RegistryStore::setDamageHandler([](const RegistryStore::Damage& damage) {
        const std::string kept = damage.keptAt == damage.storePath
                                     ? "it could not be moved and stays as it is"
                                     : "the original is kept as " + damage.keptAt.toStdString();
        std::fprintf(stderr,
                     "lumo-cli: the settings file %s was damaged; %d unreadable lines were skipped, %s\n",
                     damage.storePath.toStdString().c_str(), damage.skippedLines, kept.c_str());
    });
    // The private temporary folder lumo-cli shares with lumo: one that is refused is said at once.
    const FolderFault tempFault = SystemTempFolderFault();
    if (tempFault != FolderFault::None)
        std::fprintf(stderr, "lumo-cli: %s\n",
                     TempFolderFaultText(tempFault, SystemTempFolder()).toStdString().c_str());
    if (p.args.command == "import") {
        QTimer::singleShot(0, &app, [&p] {
            RunCliImport(p.args.args[0], stdout, stderr, [](int status) { QCoreApplication::exit(status); });
        });
        return QCoreApplication::exec();
    }
    CliSession session(p.args, stdout, stderr, isatty(fileno(stderr)) != 0);
    QObject::connect(
        &session, &CliSession::Finished, &app,
        [](int status) {
            // 2 is bad input found once the store was read (an unknown TARGET): the usage helps.
            if (status == 2)
                std::fprintf(stderr, "\n%s", CliUsage().c_str());
            QCoreApplication::exit(status);
        },
        Qt::QueuedConnection);
    QTimer::singleShot(0, &session, &CliSession::Start);
    return QCoreApplication::exec();
}
