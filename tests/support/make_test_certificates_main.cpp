// make-test-certificates DIR: a fresh test CA and server certificates in DIR (see
// test_certificates.h), for end-to-end runs.
#include <QCoreApplication>
#include <cstdio>
#include <stdexcept>

#include "support/test_certificates.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) return 2;
    try {
        daylume::test::makeTestCertificates(QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
