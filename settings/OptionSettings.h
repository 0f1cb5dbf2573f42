#pragma once

// The program's behaviour as the options page sets it: the values of the option key.
struct OptionSettings {
    // The transfer mode at start-up as the page offers it: ASCII, binary, or the mode at the last
    // exit (stored as 2; the window keeps 2 or 3 there at its close).
    enum Mode { Ascii = 0, Binary = 1, AsAtLastExit = 2 };

    Mode type = Binary;
    bool treeexpand = false;
    bool savewinsize = true;
    bool deltmp = false;
    bool chkdownow = false;
    bool chkupow = false;
    bool chkdelete = false;
    bool opendownfolder = true;

    static OptionSettings Load();
    // Creates the option key when it is missing.
    void Save() const;

    bool operator==(const OptionSettings&) const = default;
};
