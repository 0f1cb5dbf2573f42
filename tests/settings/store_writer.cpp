// Writes COUNT values PREFIX0..PREFIX(COUNT-1) into the option key of the store at FILE, one write
// at a time, as a second running copy of the program would.
#include "platform/RegistryStore.h"
#include "settings/SettingsKey.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: store_writer FILE PREFIX COUNT\n");
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
