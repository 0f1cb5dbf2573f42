#pragma once

#include "platform/RegistryStore.h"

#include <QFile>
#include <QTemporaryDir>

// Points the process's settings store at a fresh, empty file for the life of the fixture.
class StoreFixture {
public:
    StoreFixture() { RegistryStore::setGlobalFilePath(filePath()); }
    ~StoreFixture() { RegistryStore::setGlobalFilePath(m_dir.path() + QStringLiteral("/gone/lumo.reg")); }

    QString dir() const { return m_dir.path(); }
    QString filePath() const { return m_dir.path() + QStringLiteral("/lumo.reg"); }
    RegistryStore& store() { return RegistryStore::global(); }
    // The file's bytes as they are on disk now.
    QByteArray fileBytes() const {
        QFile f(filePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
    }

private:
    QTemporaryDir m_dir;
};
