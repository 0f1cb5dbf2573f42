#pragma once

#include <QString>

#include <functional>

class CPasswordVault;

// The vault of the running program. It lives as long as the application, so that an answer of the
// keyring that comes after the window or sheet that asked is still taken.
CPasswordVault& ProgramVault();

// Where the passwords of one save went.
struct PasswordsMoved {
    int inKeyring = 0;           // moved into the keyring by this save
    int inStore = 0;             // left in the store, scrambled as before keyrings
    bool keyringAnswers = false; // a keyring runs (it may still have refused them)
};

// Moves every password the store holds scrambled (each host's and the firewall's) into the keyring,
// where one runs; without one, or when it refuses (the user declines to make one), the store keeps
// them, as before keyrings, and the keyring is asked once at most. Called whenever the host settings
// have been saved, so that a store from before keyrings moves on its first save. Nothing waits for
// the keyring; `done` (when given) gets where the passwords went.
void MovePasswordsToKeyring(CPasswordVault& vault, std::function<void(const PasswordsMoved&)> done = {});

// Says where the passwords of a save went; empty when the save moved none.
QString WherePasswordsWent(const PasswordsMoved& moved);
