#include "support/image_service.h"

#include <QCoreApplication>
#include <fstream>
#include <stdexcept>

#include "support/event_loop.h"

namespace daylume::test {

const std::filesystem::path& testCertificates() {
    static const TempDir dir;
    static const bool made = QProcess::execute(DAYLUME_TEST_SUPPORT "/make-certificates",
                                               {QString::fromStdString(dir.path())}) == 0;
    if (!made) throw std::runtime_error("make-certificates failed");
    return dir.path();
}

ImageService::ImageService(bool http2, const std::string& certificate) {
    std::ofstream(picture(), std::ios::binary) << jpegBytes(640, 360);
    configure("{}");
    const auto pem = testCertificates() / certificate;
    QStringList arguments = {DAYLUME_TEST_SUPPORT "/image_service.py",
                             "--cert",
                             QString::fromStdString(pem.string() + ".pem"),
                             "--key",
                             QString::fromStdString(pem.string() + ".key"),
                             "--config",
                             QString::fromStdString((dir_.path() / "config.json").string()),
                             "--image",
                             QString::fromStdString(picture().string())};
    if (http2) arguments << "--h2";
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start("/usr/bin/python3", arguments);
    if (!waitUntil([this] {
            read();
            return port_ != 0;
        }))
        throw std::runtime_error("image_service.py did not start");
}

ImageService::~ImageService() {
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
}

void ImageService::configure(std::string_view json) {
    // Written aside and renamed, so the service never reads half of it.
    const auto config = dir_.path() / "config.json";
    std::ofstream(config.string() + ".new") << json;
    std::filesystem::rename(config.string() + ".new", config);
}

void ImageService::read() {
    QCoreApplication::processEvents();
    while (process_.canReadLine()) {
        const QString line = QString::fromUtf8(process_.readLine()).trimmed();
        const QStringList words = line.split(' ');
        if (words[0] == "listening") port_ = words.value(1).toInt();
        if (words[0] == "open") ++opened_;
        if (words[0] == "closed") ++closed_;
        if (words[0] == "request") requests_.push_back(words.value(2).toStdString());
    }
}

std::vector<std::string> ImageService::requests() {
    read();
    return requests_;
}

int ImageService::requestsFor(std::string_view market) {
    read();
    return int(std::ranges::count_if(requests_, [&](const std::string& target) {
        return target.ends_with("&mkt=" + std::string(market));
    }));
}

int ImageService::connectionsOpened() {
    read();
    return opened_;
}

int ImageService::connectionsOpen() {
    read();
    return opened_ - closed_;
}

}  // namespace daylume::test
