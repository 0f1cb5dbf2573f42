#include "settings/PasswordVault.h"

#include <qt6keychain/keychain.h>

#include <memory>

namespace {
CPasswordVault::Outcome OutcomeOf(QKeychain::Error error) {
    switch (error) {
    case QKeychain::NoError:
        return CPasswordVault::Outcome::Done;
    case QKeychain::EntryNotFound:
        return CPasswordVault::Outcome::NotFound;
    default:
        // No backend, no session bus, a locked or refusing keyring: all mean "not here".
        return CPasswordVault::Outcome::NoKeyring;
    }
}

// A job owns nothing of ours and deletes itself when it has finished. It must not go before that:
// qtkeychain's libsecret backend calls back into a job whose request is still out.
template <class Job> Job* NewJob(const QString& account) {
    auto* job = new Job(CPasswordVault::Service());
    job->setAutoDelete(true);
    job->setKey(account);
    return job;
}
} // namespace

QString CPasswordVault::AccountKey(std::string_view user, std::string_view host, int port) {
    return QString::fromUtf8(user.data(), static_cast<qsizetype>(user.size())) + QLatin1Char('@') +
           QString::fromUtf8(host.data(), static_cast<qsizetype>(host.size())) + QLatin1Char(':') +
           QString::number(port);
}

void CPasswordVault::Write(const QString& account, const std::string& password, Callback done) {
    auto* job = NewJob<QKeychain::WritePasswordJob>(account);
    job->setBinaryData(QByteArray::fromStdString(password));
    connect(job, &QKeychain::Job::finished, this,
            [done = std::move(done)](QKeychain::Job* j) { done(OutcomeOf(j->error()), {}); });
    job->start();
}

void CPasswordVault::Read(const QString& account, Callback done) {
    auto* job = NewJob<QKeychain::ReadPasswordJob>(account);
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)](QKeychain::Job* j) {
        const Outcome outcome = OutcomeOf(j->error());
        done(outcome, outcome == Outcome::Done
                          ? static_cast<QKeychain::ReadPasswordJob*>(j)->binaryData().toStdString()
                          : std::string());
    });
    job->start();
}

void CPasswordVault::Remove(const QString& account, Callback done) {
    auto* job = NewJob<QKeychain::DeletePasswordJob>(account);
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)](QKeychain::Job* j) {
        const Outcome outcome = OutcomeOf(j->error());
        done(outcome == Outcome::NotFound ? Outcome::Done : outcome, {});
    });
    job->start();
}

void CPasswordVault::LoadStored(KeyFamily family, const std::string& suffix, const char* name,
                                const QString& account, Callback done) {
    SettingsKey key;
    const bool open = key.OpenKey(family, suffix);
    const std::string stored = open ? key.ReadScrambled(name) : std::string();
    // A value in the store is newer than the keyring's: it was saved where no keyring answered,
    // or has not moved yet.
    if (!open || !stored.empty() || key.ReadDword(MarkerName(name), 0) != 1) {
        done(Outcome::NotFound, stored);
        return;
    }
    Read(account, [stored, done = std::move(done)](Outcome outcome, const std::string& password) {
        done(outcome, outcome == Outcome::Done ? password : stored);
    });
}

void CPasswordVault::MoveToKeyring(KeyFamily family, const std::string& suffix, const char* name,
                                   const QString& account, Callback done) {
    SettingsKey key;
    const std::string password = key.OpenKey(family, suffix) ? key.ReadScrambled(name) : std::string();
    if (password.empty()) {
        done(Outcome::NotFound, {});
        return;
    }
    Write(account, password,
          [family, suffix, name = std::string(name), done = std::move(done)](Outcome outcome,
                                                                             const std::string&) {
              if (outcome == Outcome::Done) {
                  // Written as one change, so the store never holds the mark without the value gone.
                  SettingsBatch batch;
                  SettingsKey key;
                  if (key.OpenKey(family, suffix)) {
                      key.WriteScrambled(name, {});
                      key.WriteDword(MarkerName(name.c_str()), 1);
                  }
              }
              done(outcome, {});
          });
}

namespace {
struct MoveRun {
    std::vector<CPasswordVault::StoredPassword> passwords;
    CPasswordVault::Outcomes outcomes;
    std::function<void(const CPasswordVault::Outcomes&)> done;
};

void MoveNext(CPasswordVault& vault, const std::shared_ptr<MoveRun>& run) {
    const std::size_t next = run->outcomes.size();
    if (next == run->passwords.size()) {
        run->done(run->outcomes);
        return;
    }
    if (next > 0 && run->outcomes.back() == CPasswordVault::Outcome::NoKeyring) {
        run->outcomes.push_back(CPasswordVault::Outcome::NoKeyring);
        MoveNext(vault, run);
        return;
    }
    const CPasswordVault::StoredPassword& p = run->passwords[next];
    vault.MoveToKeyring(p.family, p.suffix, p.name, p.account,
                        [&vault, run](CPasswordVault::Outcome outcome, const std::string&) {
                            run->outcomes.push_back(outcome);
                            MoveNext(vault, run);
                        });
}
} // namespace

void CPasswordVault::MoveAllToKeyring(std::vector<StoredPassword> passwords,
                                      std::function<void(const Outcomes&)> done) {
    auto run = std::make_shared<MoveRun>();
    run->passwords = std::move(passwords);
    run->done = std::move(done);
    MoveNext(*this, run);
}

void CPasswordVault::CheckKeyring(std::function<void(bool)> done) {
    // An entry that is never written: a keyring that runs answers "not found".
    Read(QStringLiteral("lumo-keyring-probe"), [done = std::move(done)](Outcome outcome, const std::string&) {
        done(outcome != Outcome::NoKeyring);
    });
}
