#pragma once

#include "hosts/ImportEntry.h"

#include <QString>

#include <functional>
#include <string>

class CPasswordVault;
class CQXDoc;

// Reads another program's host file, told apart by its content: FileZilla's sitemanager.xml (or a
// file exported from its Site Manager) or WinSCP's WinSCP.ini. Imported entries that the host
// settings sheet would refuse (a blank in the address, a text too long for the store...) are left
// out with its reason.
ImportSource ReadHostFile(const QString& path);

// What an import did.
struct ImportReport {
    // The file's hosts; an imported one under the name it was stored as, with a note saying where
    // its password went.
    ImportSource source;
    // How many hosts reached the store.
    int stored = 0;
    // Why the file was not read, or why its hosts were not stored; empty when all went well.
    std::string problem;
};

// Reads `path` and adds its hosts after the stored ones, in one write, as the host settings sheet
// adds hosts: a name a stored host (or an earlier one of the file) has gets " (2)", " (3)"... Their
// passwords then move to the keyring, as the sheet's do. `done` gets the report once the keyring has
// answered for every password (at once when there is none). A file that cannot be read changes
// nothing.
void ImportHosts(const QString& path, CQXDoc& doc, CPasswordVault& vault,
                 std::function<void(const ImportReport&)> done);
