#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

namespace daylume::test {

// A throwaway certificate authority and the server identities the tests need. Everything is made
// fresh per run so nothing secret or long-lived is checked in.
struct TestCertificates {
    QString dir;         // folder holding the PEM files below
    QString caCertFile;  // ca.pem: the authority the tests trust
    QSslCertificate ca;
    // Signed by the CA; names www.bing.com, localhost and 127.0.0.1.
    QSslCertificate serverCert;
    QSslKey serverKey;
    QString serverCertFile;
    QString serverKeyFile;
    // Self-signed with the same names; a client that only trusts the CA must refuse it.
    QSslCertificate untrustedCert;
    QSslKey untrustedKey;
    QString untrustedCertFile;
    QString untrustedKeyFile;
};

// Runs the openssl command-line tool to make EC P-256 keys and certificates valid for three days
// in `dir` (created if missing). Throws std::runtime_error carrying openssl's stderr on failure.
TestCertificates makeTestCertificates(const QString& dir);

// Adds the CA to QSslConfiguration::defaultConfiguration(), so TLS clients created afterwards in
// this process (including QNetworkAccessManager requests) accept the stand-in server.
void trustTestCa(const TestCertificates& certificates);

}  // namespace daylume::test
