#pragma once

#include <QProcess>
#include <string>
#include <string_view>
#include <vector>

#include "support/sim_platform.h"

namespace daylume::test {

// The test certificates (make-certificates), made once per test program.
const std::filesystem::path& testCertificates();

// image_service.py on a free port of 127.0.0.1, serving a small JPEG for every "/th?" picture
// address until configure() says otherwise. Its events are read while Qt's loop runs.
class ImageService {
public:
    explicit ImageService(bool http2 = false, const std::string& certificate = "server");
    ~ImageService();

    std::string origin() const { return "https://127.0.0.1:" + std::to_string(port_); }
    // How to answer, in the JSON that image_service.py reads; takes effect at the next request.
    void configure(std::string_view json);
    std::filesystem::path picture() const { return dir_.path() / "picture.jpg"; }

    // Request targets so far, in arrival order, and those of one market.
    std::vector<std::string> requests();
    int requestsFor(std::string_view market);
    int connectionsOpened();
    int connectionsOpen();

private:
    void read();

    TempDir dir_;
    QProcess process_;
    int port_ = 0;
    std::vector<std::string> requests_;
    int opened_ = 0;
    int closed_ = 0;
};

}  // namespace daylume::test
