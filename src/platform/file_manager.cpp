#include "platform/file_manager.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QUuid>
#include <cerrno>
#include <cstdlib>
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

// Copies the bytes of `from` into the new file `to`; the errno of the first failure, or 0. Unlike
// std::filesystem::copy_file, a full disk is reported as such, not as an I/O error.
int copyFile(const fs::path& from, const fs::path& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    int error = 0;
    for (;;) {
        const ssize_t n = ::sendfile(out, in, nullptr, 1 << 20);
        if (n > 0) continue;
        if (n == 0) break;
        if (errno == EINTR) continue;
        error = errno;
        break;
    }
    if (::close(out) != 0 && !error) error = errno;
    ::close(in);
    return error;
}

}  // namespace

FileManager::FileManager(fs::path dataHome) : dataHome_(std::move(dataHome)) {}

fs::path FileManager::userDataHome() {
    // Relative values are invalid by the XDG rules and are ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    return fs::path(home && home[0] ? home : "/") / ".local" / "share";
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
    const fs::path partial = to.parent_path() / ("." + to.filename().string() + ".part");
    if (const int error = copyFile(from, partial)) {
        fs::remove(partial, ec);
        throw Failure(posixError(error, to.string()));
    }
    fs::rename(partial, to, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        fail(ec, to);
    }
}

std::vector<DirectoryEntry> FileManager::contentsOfDirectory(const fs::path& directory) const {
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    if (ec) fail(ec, directory);
    std::vector<DirectoryEntry> entries;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        if (path.filename().string().starts_with('.')) continue;
        entries.push_back({path, creationDate(path)});
    }
    if (ec) fail(ec, directory);
    return entries;
}

bool FileManager::removeItem(const fs::path& path) const noexcept {
    std::error_code ec;
    return fs::remove(path, ec) && !ec;
}

std::string newUuidString() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

}  // namespace daylume
