#include "platform/file_manager.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QUuid>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "platform/error.h"

namespace daylume {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::error_code& ec, const fs::path& path) {
    throw Failure(posixError(ec.value(), path.string()));
}

std::chrono::system_clock::time_point toTimePoint(const statx_timestamp& t) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec)));
}

std::optional<std::chrono::system_clock::time_point> creationDate(const fs::path& path) {
    struct statx st {};
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &st) != 0)
        return std::nullopt;
    if (st.stx_mask & STATX_BTIME) return toTimePoint(st.stx_btime);
    if (st.stx_mask & STATX_MTIME) return toTimePoint(st.stx_mtime);
    return std::nullopt;
}

// Copies every byte of `in` to `out`; the errno of the first failure, or 0. Unlike
// std::filesystem::copy_file, a full disk is reported as such, not as an I/O error.
int copyBytes(int in, int out) {
    bool plain = false;  // sendfile refuses some sources, such as pipes
    for (char buffer[1 << 16];;) {
        const ssize_t n =
            plain ? ::read(in, buffer, sizeof buffer) : ::sendfile(out, in, nullptr, 1 << 20);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && !plain && (errno == EINVAL || errno == ENOSYS)) {
            plain = true;
            continue;
        }
        if (n < 0) return errno;
        if (n == 0) return 0;
        if (plain)
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = ::write(out, buffer + done, std::size_t(n - done));
                if (w < 0 && errno == EINTR) continue;
                if (w < 0) return errno;
                done += w;
            }
    }
}

// What copyThroughPartialFile names its partial copies of stored pictures.
constexpr std::string_view kPartialPrefix = ".daylume-";
constexpr std::string_view kPartialSuffix = ".part";

// The copy under a hidden name, renamed once whole: for file systems without O_TMPFILE.
int copyThroughPartialFile(int in, const fs::path& to) {
    const fs::path partial = to.parent_path() / ("." + to.filename().string() + ".part");
    const int out = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) return errno;
    int error = copyBytes(in, out);
    if (!error && ::fsync(out) != 0) error = errno;
    if (::close(out) != 0 && !error) error = errno;
    if (!error && ::rename(partial.c_str(), to.c_str()) != 0) error = errno;
    if (error) ::unlink(partial.c_str());
    return error;
}

}  // namespace

FileManager::FileManager(fs::path dataHome, fs::path stateHome, fs::path cacheHome)
    : dataHome_(std::move(dataHome)),
      stateHome_(std::move(stateHome)),
      cacheHome_(std::move(cacheHome)) {}

namespace {

// $VARIABLE, else ~/FALLBACK; relative values are invalid by the XDG rules and are ignored.
fs::path baseDirectory(const char* variable, const char* fallback) {
    if (const char* xdg = std::getenv(variable); xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    return fs::path(home && home[0] ? home : "/") / fallback;
}

}  // namespace

fs::path FileManager::userDataHome() {
    return baseDirectory("XDG_DATA_HOME", ".local/share");
}

fs::path FileManager::userStateHome() {
    return baseDirectory("XDG_STATE_HOME", ".local/state");
}

fs::path FileManager::userCacheHome() {
    return baseDirectory("XDG_CACHE_HOME", ".cache");
}

fs::path FileManager::applicationSupportDirectory() const {
    createDirectory(dataHome_);
    return dataHome_;
}

bool FileManager::fileExists(const fs::path& path) const {
    std::error_code ec;
    return fs::exists(path, ec);
}

void FileManager::createDirectory(const fs::path& path) const {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) fail(ec, path);
    if (!fs::is_directory(path, ec)) fail(std::make_error_code(std::errc::not_a_directory), path);
}

void FileManager::copyItem(const fs::path& from, const fs::path& to) const {
    std::error_code ec;
    if (fs::symlink_status(to, ec).type() != fs::file_type::not_found)
        fail(std::make_error_code(std::errc::file_exists), to);
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) throw Failure(posixError(errno, from.string()));
    // A file without a name until it is whole and on disk, then linked under its name: a crash
    // or a power loss midway leaves nothing behind.
    int error = 0;
    const int out = ::open(to.parent_path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (out >= 0) {
        error = copyBytes(in, out);
        if (!error && ::fsync(out) != 0) error = errno;
        const std::string name = "/proc/self/fd/" + std::to_string(out);
        if (!error && ::linkat(AT_FDCWD, name.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW))
            error = errno;
        ::close(out);
    } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
        error = copyThroughPartialFile(in, to);
    } else {
        error = errno;
    }
    ::close(in);
    if (error) throw Failure(posixError(error, to.string()));
}

void sortNewestFirst(std::vector<DirectoryEntry>& entries) {
    std::ranges::stable_sort(entries, [](const DirectoryEntry& a, const DirectoryEntry& b) {
        return a.creationDate && (!b.creationDate || *a.creationDate > *b.creationDate);
    });
}

std::vector<DirectoryEntry> FileManager::contentsOfDirectory(const fs::path& directory) const {
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    if (ec) fail(ec, directory);
    std::vector<DirectoryEntry> entries;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        if (path.filename().string().starts_with('.')) continue;
        std::error_code gone;  // removed since it was listed: its type reads not_found
        entries.push_back({path, it->symlink_status(gone).type(), creationDate(path)});
    }
    if (ec) fail(ec, directory);
    return entries;
}

void FileManager::writeFile(const fs::path& path, std::string_view contents) const {
    createDirectory(path.parent_path());
    const fs::path partial = path.parent_path() / ("." + path.filename().string() + ".part");
    const int out = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) throw Failure(posixError(errno, partial.string()));
    int error = 0;
    for (std::size_t done = 0; done < contents.size() && !error;) {
        const ssize_t n = ::write(out, contents.data() + done, contents.size() - done);
        if (n >= 0)
            done += std::size_t(n);
        else if (errno != EINTR)
            error = errno;
    }
    if (!error && ::fsync(out) != 0) error = errno;
    if (::close(out) != 0 && !error) error = errno;
    if (!error && ::rename(partial.c_str(), path.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(partial.c_str());
        throw Failure(posixError(error, path.string()));
    }
}

std::optional<std::string> FileManager::readFile(const fs::path& path, std::size_t limit) const {
    const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return std::nullopt;
    struct stat st {};
    std::optional<std::string> text;
    if (::fstat(in, &st) == 0 && S_ISREG(st.st_mode) && std::size_t(st.st_size) <= limit) {
        std::string bytes(std::size_t(st.st_size), '\0');
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(in, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += std::size_t(n);
        }
        bytes.resize(done);
        text = std::move(bytes);
    }
    ::close(in);
    return text;
}

bool FileManager::removeItem(const fs::path& path) const noexcept {
    std::error_code ec;
    return fs::remove(path, ec) && !ec;
}

bool FileManager::contentsEqual(const fs::path& a, const fs::path& b) const noexcept {
    std::error_code ec;
    // `a` is a stored entry, never taken through a link; `b` may be a download's
    // /proc/self/fd/N, which is one.
    if (!fs::is_regular_file(fs::symlink_status(a, ec)) || !fs::is_regular_file(b, ec) ||
        fs::file_size(a, ec) != fs::file_size(b, ec) || ec)
        return false;
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::array<char, 1 << 16> p{}, q{};
    while (x && y) {
        x.read(p.data(), p.size());
        y.read(q.data(), q.size());
        if (x.gcount() != y.gcount() || !std::equal(p.begin(), p.begin() + x.gcount(), q.begin()))
            return false;
    }
    return x.eof() && y.eof();
}

void FileManager::removePartialCopies(const fs::path& directory) const noexcept {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(directory, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(kPartialPrefix) && name.ends_with(kPartialSuffix) &&
            entry.is_regular_file(ec))
            fs::remove(entry.path(), ec);
    }
}

std::string newUuidString() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

}  // namespace daylume
