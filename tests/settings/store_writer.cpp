// Plays a second running copy of the program against the store at FILE:
//   store_writer FILE PREFIX COUNT  writes PREFIX0..PREFIX(COUNT-1) into the option key, one write
//                                   at a time;
//   store_writer FILE hold          takes the store's write lock, says "held" on stdout and keeps
//                                   the lock until it is killed.
#include "platform/RegistryStore.h"
#include "settings/SettingsKey.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::string(argv[2]) == "hold") {
        RegistryStore::setGlobalFilePath(QString::fromLocal8Bit(argv[1]));
        SettingsBatch batch;
        SettingsKey key;
        if (!key.CreateKey(KeyFamily::Option))
            return 1;
        std::printf("held\n");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(60);
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: store_writer FILE PREFIX COUNT | store_writer FILE hold\n");
        return 2;
    }
    RegistryStore::setGlobalFilePath(QString::fromLocal8Bit(argv[1]));
    const std::string prefix = argv[2];
    const int count = std::stoi(argv[3]);
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        SettingsKey key;
        if (!key.CreateKey(KeyFamily::Option) ||
            !key.WriteDword(prefix + std::to_string(i), static_cast<unsigned>(i)))
            ++failed;
    }
    return failed == 0 ? 0 : 1;
}
