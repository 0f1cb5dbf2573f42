#pragma once

class CPasswordVault;

// The vault of the running program. It lives as long as the application, so that an answer of the
// keyring that comes after the window or sheet that asked is still taken.
CPasswordVault& ProgramVault();

// Moves every password the store holds scrambled (each host's and the firewall's) into the keyring,
// where one runs; without one the store keeps them, as before keyrings. Called whenever the host
// settings have been saved, so that a store from before keyrings moves on its first save. Nothing
// waits for the keyring.
void MovePasswordsToKeyring(CPasswordVault& vault);
