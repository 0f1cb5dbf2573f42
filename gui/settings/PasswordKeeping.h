#pragma once

class QLabel;

// Tells on the connection page where saved passwords go: the desktop's keyring, or (where none
// answers) the settings file as before. The keyring is asked once the page exists; the label
// shows the answer when it comes.
void ShowWherePasswordsAreKept(QLabel* label);
