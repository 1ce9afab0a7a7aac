#include "platform/linux/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
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
    // A socket's path has room for 107 bytes: a longer one is passed over for the next place.
    auto fits = [](const fs::path& folder) {
        return (folder / "daylume.socket").native().size() < sizeof(sockaddr_un::sun_path);
    };
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && isPrivateFolder(runtime) && fits(runtime))
        return fs::path(runtime) / "daylume.socket";
    // Else a folder in this user's home: one in a shared folder such as /tmp could be taken
    // by another user first.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const fs::path folder = cache && cache[0] == '/' ? fs::path(cache) / "daylume"
                            : home && home[0] == '/' ? fs::path(home) / ".cache" / "daylume"
                                                     : fs::path();
    if (!folder.empty() && fits(folder)) {
        std::error_code ignored;  // checked next
        fs::create_directories(folder.parent_path(), ignored);
        ::mkdir(folder.c_str(), 0700);
        if (isPrivateFolder(folder)) return folder / "daylume.socket";
    }
    const std::string why = folder.empty()  ? "there is no home folder"
                            : !fits(folder) ? folder.string() + " is too long a path for a socket"
                                            : folder.string() + " is not this user's alone";
    std::fprintf(stderr,
                 "Daylume: no private folder for its socket (XDG_RUNTIME_DIR is unset, not this "
                 "user's alone or too long, and %s): a later launch starts another Daylume\n",
                 why.c_str());
    return {};
}

int SingleInstance::send(std::string_view message) const {
    if (path_.empty() || path_.native().size() >= sizeof(sockaddr_un::sun_path)) return -1;
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(path_);
    const std::string line = std::string(message) + "\n";
    const bool told =
        socket >= 0 &&
        ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        isThisUser(socket) &&
        ::send(socket, line.data(), line.size(), MSG_NOSIGNAL) == ssize_t(line.size());
    if (told) return socket;
    if (socket >= 0) ::close(socket);
    return -1;
}

bool SingleInstance::tell(std::string_view message) const {
    const int socket = send(message);
    if (socket >= 0) ::close(socket);
    return socket >= 0;
}

SingleInstance::QuitOutcome SingleInstance::quit(std::chrono::milliseconds limit) const {
    const int socket = send("quit");
    if (socket < 0) return QuitOutcome::NotRunning;
    // The running one keeps its end open: it closes when that process has ended.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QuitOutcome outcome = QuitOutcome::StillRunning;
    for (pollfd wait{socket, POLLIN, 0};;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        const int ready = ::poll(&wait, 1, int(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char byte;
        if (const ssize_t n = ::read(socket, &byte, 1); n <= 0) {
            if (n == 0 || errno == ECONNRESET) outcome = QuitOutcome::Ended;
            break;
        }
    }
    ::close(socket);
    return outcome;
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
            const QString message = n > 0 ? QString::fromUtf8(buffer, n).trimmed() : QString();
            // Off before the socket goes: a notifier left on a closed one warns and disables
            // itself.
            notifier->setEnabled(false);
            notifier->deleteLater();
            // A launch asking to quit waits for this end to close, which happens when this
            // process has ended.
            if (message != QLatin1String("quit")) ::close(client);
            if (!message.isEmpty()) Q_EMIT received(message);
        });
    }
}

}  // namespace daylume
