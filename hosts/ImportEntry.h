#pragma once

#include "hosts/HostRecord.h"

#include <string>
#include <vector>

// One host of another program's host file: the record lumo stores for it, or why it is left out.
struct ImportEntry {
    // The name that program shows, its folders in front ("お客様/テスト サーバー"); UTF-8. The
    // record's Name is this until the import gives a clashing name a number.
    std::string name;
    HostRecord host;
    // Why the host is left out; empty when it is imported.
    std::string skipReason;
    // What of an imported host was not carried over, or how (a password left out, a character set
    // lumo does not have, where the password went).
    std::vector<std::string> notes;

    bool Imported() const { return skipReason.empty(); }
};

// What a host file gave: its hosts in the file's order, or why it could not be read at all.
struct ImportSource {
    bool read = false;
    std::string problem;
    std::vector<ImportEntry> entries;
};
