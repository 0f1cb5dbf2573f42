#pragma once

class QLabel;
class QWidget;

// Tells on the connection page where saved passwords go: the desktop's keyring, or (where none
// answers) the settings file as before. The keyring is asked once the page exists; the label
// shows the answer when it comes.
void ShowWherePasswordsAreKept(QLabel* label);

// After the host settings were saved: moves the store's passwords to the keyring and says where
// they went, on the label while its sheet is open. Once the sheet has closed, only passwords that a
// running keyring refused (the user declined to make one) are told, over `window`, as the sheet had
// said they would go there.
void MovePasswordsAndSayWhere(QLabel* label, QWidget* window);
