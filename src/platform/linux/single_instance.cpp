#include "platform/linux/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace daylume {
namespace fs = std::filesystem;

namespace {

// A real folder of this user's that nobody else may write into.
bool isPrivateFolder(const fs::path& folder) {
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 022) == 0;
}

bool isThisUser(int socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == ::getuid();
}

sockaddr_un addressOf(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

}  // namespace

SingleInstance::SingleInstance(fs::path socketPath) : path_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
    if (listener_ >= 0) ::close(listener_);
}

fs::path SingleInstance::defaultSocketPath() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime && runtime[0] == '/' && isPrivateFolder(runtime))
        return fs::path(runtime) / "daylume.socket";
    const char* tmp = std::getenv("TMPDIR");
    const fs::path folder =
        fs::path(tmp && tmp[0] == '/' ? tmp : "/tmp") / ("daylume-" + std::to_string(::getuid()));
    ::mkdir(folder.c_str(), 0700);  // may exist already; checked next
    return isPrivateFolder(folder) ? folder / "daylume.socket" : fs::path();
}

bool SingleInstance::tell(std::string_view message) const {
    if (path_.empty() || path_.native().size() >= sizeof(sockaddr_un::sun_path)) return false;
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(path_);
    const std::string line = std::string(message) + "\n";
    const bool told =
        socket >= 0 &&
        ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        isThisUser(socket) &&
        ::send(socket, line.data(), line.size(), MSG_NOSIGNAL) == ssize_t(line.size());
    if (socket >= 0) ::close(socket);
    return told;
}

bool SingleInstance::claim(std::string_view message) {
    if (path_.empty() || path_.native().size() >= sizeof(sockaddr_un::sun_path)) return true;
    // Two launches at the same moment take turns, so exactly one of them listens.
    const fs::path lockPath = path_.string() + ".lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0) ::flock(lock, LOCK_EX);
    const bool alone = !tell(message);
    if (alone) {
        ::unlink(path_.c_str());  // left behind by one that crashed
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const sockaddr_un address = addressOf(path_);
        if (listener_ >= 0 &&
            ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(listener_, 8) == 0) {
            auto* notifier = new QSocketNotifier(listener_, QSocketNotifier::Read, this);
            connect(notifier, &QSocketNotifier::activated, this, &SingleInstance::accept);
        }
    }
    if (lock >= 0) ::close(lock);  // and with it the lock
    return alone;                  // listening or not: better to run on alone than not at all
}

void SingleInstance::accept() {
    for (int client;
         (client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;) {
        if (!isThisUser(client)) {
            ::close(client);
            continue;
        }
        // A launch writes one short line and goes; read it as it comes.
        auto* notifier = new QSocketNotifier(client, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, notifier, client] {
            char buffer[64];
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n < 0 && errno == EAGAIN) return;
            if (n > 0) Q_EMIT received(QString::fromUtf8(buffer, n).trimmed());
            notifier->deleteLater();
            ::close(client);
        });
    }
}

}  // namespace daylume
