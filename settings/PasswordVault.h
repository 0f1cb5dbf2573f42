#pragma once

#include "settings/SettingsKey.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Passwords in the desktop's keyring (Secret Service or KWallet, through qtkeychain) when one
// runs. Every call answers later, through its callback on this thread: a keyring may first ask
// the user to unlock it, and nothing may wait for that.
class CPasswordVault : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Done,      // written, read or removed
        NotFound,  // the keyring answered but holds no such entry
        NoKeyring, // no keyring runs, or it refused: the store's own value is what counts
    };
    using Callback = std::function<void(Outcome, const std::string& password)>;

    // The service the entries are filed under.
    static QString Service() { return QStringLiteral("lumo"); }
    // The keyring entry of one account on one server: "user@host:port". It stays the same when the
    // host list is reordered, which renumbers the records.
    static QString AccountKey(std::string_view user, std::string_view host, int port);

    using QObject::QObject;
    void Write(const QString& account, const std::string& password, Callback done);
    void Read(const QString& account, Callback done);
    void Remove(const QString& account, Callback done);

    // The stored password `name` of the key `suffix` of `family` (a host's "Pass", the firewall's
    // "FirePass"), read from where it lives: the store's scrambled value when it holds one, else the
    // keyring when the marker value says so. Outcome Done means the keyring's; a keyring that cannot
    // be read gives the store's (empty) value. Answers at once when the keyring is not involved.
    void LoadStored(KeyFamily family, const std::string& suffix, const char* name, const QString& account,
                    Callback done);
    // Moves a password that the store holds scrambled into the keyring: once the keyring has it, the
    // store's value is emptied and marked. Without a keyring the store keeps it (Outcome NoKeyring),
    // as before keyrings; an empty password stays where it is.
    void MoveToKeyring(KeyFamily family, const std::string& suffix, const char* name, const QString& account,
                       Callback done);
    // A password the store holds: where it lies, and the keyring entry it belongs to.
    struct StoredPassword {
        KeyFamily family;
        std::string suffix;
        const char* name;
        QString account;
    };
    using Outcomes = std::vector<Outcome>;
    // Moves the passwords one after another, as MoveToKeyring does. After the first one the keyring
    // refuses, the rest stay in the store without the keyring being asked again: a keyring that must
    // first be made (or unlocked) asks the user on every write, and one "no" answers them all.
    // `done` gets each password's outcome, in order.
    void MoveAllToKeyring(std::vector<StoredPassword> passwords, std::function<void(const Outcomes&)> done);
    // Whether a keyring answers at all; asks nothing of the user.
    void CheckKeyring(std::function<void(bool answers)> done);

    // The marker value beside a stored password: 1 when the keyring holds it.
    static std::string MarkerName(const char* name) { return std::string(name) + "InKeyring"; }
};
