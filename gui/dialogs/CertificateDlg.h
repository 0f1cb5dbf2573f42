#pragma once

#include "engine/CertificateCheck.h"

#include <QDialog>

class QPushButton;

// The question about a server certificate that nothing vouches for: its fingerprint, subject,
// issuer, validity and why it could not be verified, answered with accept once, accept always or
// refuse. A certificate that differs from the one accepted before is shown with a warning and the
// old fingerprint beside the new. Refuse is the default, also for Escape and the close box.
class CCertificateDlg : public QDialog {
    Q_OBJECT
public:
    CCertificateDlg(const QString& hostName, const TlsPeerInfo& peer, CertificateStanding standing,
                    const std::string& pinnedSha256, QWidget* parent = nullptr);

    CertificateAnswer Answer() const { return m_answer; }
    QPushButton* onceButton() const { return m_once; }
    QPushButton* alwaysButton() const { return m_always; }
    QPushButton* refuseButton() const { return m_refuse; }

private:
    CertificateAnswer m_answer = CertificateAnswer::Refuse;
    QPushButton* m_once;
    QPushButton* m_always;
    QPushButton* m_refuse;
};

// Asks about the certificate of `hostName` and gives the answer.
CertificateAnswer AskCertificate(QWidget* parent, const QString& hostName, const TlsPeerInfo& peer,
                                 CertificateStanding standing, const std::string& pinnedSha256);
