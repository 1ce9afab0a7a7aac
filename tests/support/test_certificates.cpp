#include "test_certificates.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSslConfiguration>
#include <QStringList>

#include <stdexcept>

namespace daylume::test {
namespace {

// Our own config file keeps the result independent of the system's openssl.cnf defaults.
constexpr char kOpensslConfig[] = R"([req]
distinguished_name = dn
prompt = no
[dn]
CN = unused
[ca_ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server_ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:www.bing.com, DNS:localhost, IP:127.0.0.1
subjectKeyIdentifier = hash
)";

constexpr char kValidDays[] = "3";

void runOpenssl(const QString& workDir, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(workDir);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForStarted())
        throw std::runtime_error("cannot start openssl: " + process.errorString().toStdString());
    process.waitForFinished(60000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        throw std::runtime_error("openssl " + arguments.join(u' ').toStdString() +
                                 " failed: " + err.toStdString());
    }
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

QSslCertificate loadCertificate(const QString& path) {
    const QSslCertificate cert(readFile(path), QSsl::Pem);
    if (cert.isNull()) throw std::runtime_error("unusable certificate in " + path.toStdString());
    return cert;
}

QSslKey loadKey(const QString& path) {
    const QSslKey key(readFile(path), QSsl::Ec, QSsl::Pem);
    if (key.isNull()) throw std::runtime_error("unusable key in " + path.toStdString());
    return key;
}

QString randomSerial() {
    // Positive 63-bit serial; clients may cache by issuer+serial, so reuse across runs is avoided.
    return QStringLiteral("0x%1").arg(QRandomGenerator::global()->generate64() >> 1, 0, 16);
}

QStringList newKey(const QString& file) {
    return {"genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out", file};
}

}  // namespace

TestCertificates makeTestCertificates(const QString& dir) {
    if (!QDir().mkpath(dir)) throw std::runtime_error("cannot create " + dir.toStdString());
    const QDir d(dir);
    TestCertificates c;
    c.dir = d.absolutePath();
    c.caCertFile = d.absoluteFilePath("ca.pem");
    c.serverCertFile = d.absoluteFilePath("server.pem");
    c.serverKeyFile = d.absoluteFilePath("server.key");
    c.untrustedCertFile = d.absoluteFilePath("untrusted.pem");
    c.untrustedKeyFile = d.absoluteFilePath("untrusted.key");
    const QString config = d.absoluteFilePath("openssl.cnf");
    const QString caKey = d.absoluteFilePath("ca.key");
    const QString csr = d.absoluteFilePath("server.csr");

    QFile configFile(config);
    if (!configFile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        configFile.write(kOpensslConfig) < 0)
        throw std::runtime_error("cannot write " + config.toStdString());
    configFile.close();

    runOpenssl(c.dir, newKey(caKey));
    runOpenssl(c.dir, {"req", "-new", "-x509", "-config", config, "-key", caKey, "-subj",
                       "/O=Daylume tests/CN=Daylume Test CA", "-days", kValidDays, "-set_serial",
                       randomSerial(), "-extensions", "ca_ext", "-out", c.caCertFile});

    runOpenssl(c.dir, newKey(c.serverKeyFile));
    runOpenssl(c.dir, {"req", "-new", "-config", config, "-key", c.serverKeyFile, "-subj",
                       "/CN=www.bing.com", "-out", csr});
    runOpenssl(c.dir, {"x509", "-req", "-in", csr, "-CA", c.caCertFile, "-CAkey", caKey, "-days",
                       kValidDays, "-set_serial", randomSerial(), "-extfile", config,
                       "-extensions", "server_ext", "-out", c.serverCertFile});

    runOpenssl(c.dir, newKey(c.untrustedKeyFile));
    runOpenssl(c.dir, {"req", "-new", "-x509", "-config", config, "-key", c.untrustedKeyFile,
                       "-subj", "/CN=www.bing.com", "-days", kValidDays, "-set_serial",
                       randomSerial(), "-extensions", "server_ext", "-out", c.untrustedCertFile});

    c.ca = loadCertificate(c.caCertFile);
    c.serverCert = loadCertificate(c.serverCertFile);
    c.serverKey = loadKey(c.serverKeyFile);
    c.untrustedCert = loadCertificate(c.untrustedCertFile);
    c.untrustedKey = loadKey(c.untrustedKeyFile);
    return c;
}

void trustTestCa(const TestCertificates& certificates) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificate(certificates.ca);
    QSslConfiguration::setDefaultConfiguration(config);
}

}  // namespace daylume::test
