#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace daylume {

struct DirectoryEntry {
    std::filesystem::path path;
    // The entry itself, not what a symbolic link points to.
    std::filesystem::file_type type = std::filesystem::file_type::unknown;
    // Birth time; where the file system keeps none, the modification time stands in.
    std::optional<std::chrono::system_clock::time_point> creationDate;
};

// Newest first; entries without a date last, in the order they came.
void sortNewestFirst(std::vector<DirectoryEntry>& entries);

// File operations on the per-user data and state directories. Failures throw Failure. Safe to use
// from any thread. Virtual so that a test can make one of them fail.
class FileManager {
public:
    FileManager(std::filesystem::path dataHome, std::filesystem::path stateHome,
                std::filesystem::path cacheHome);
    virtual ~FileManager() = default;
    // $XDG_DATA_HOME, or ~/.local/share; $XDG_STATE_HOME, or ~/.local/state; $XDG_CACHE_HOME, or
    // ~/.cache.
    static std::filesystem::path userDataHome();
    static std::filesystem::path userStateHome();
    static std::filesystem::path userCacheHome();

    // The per-user data directory, created when missing.
    virtual std::filesystem::path applicationSupportDirectory() const;
    // The per-user state directory: what Daylume remembers between runs. Not created here.
    std::filesystem::path stateDirectory() const { return stateHome_; }
    // The per-user cache directory: what can be fetched again. Not created here.
    std::filesystem::path cacheDirectory() const { return cacheHome_; }
    // True when any item, of any kind, exists at `path`.
    virtual bool fileExists(const std::filesystem::path& path) const;
    // Creates `path` with any missing parents.
    virtual void createDirectory(const std::filesystem::path& path) const;
    // Copies `from` to the new name `to`, which appears only once the copy is whole and on disk:
    // an interrupted copy leaves nothing. Fails when `to` exists.
    virtual void copyItem(const std::filesystem::path& from, const std::filesystem::path& to) const;
    // The direct entries of `directory`, hidden ones left out, with their types and creation
    // dates.
    virtual std::vector<DirectoryEntry> contentsOfDirectory(
        const std::filesystem::path& directory) const;
    // Replaces `path` (and makes its folder) with `contents` whole: a reader, or a crash midway,
    // finds the old text or the new one, never part of either.
    virtual void writeFile(const std::filesystem::path& path, std::string_view contents) const;
    // The text of a regular file of at most `limit` bytes; nothing when there is none or it is
    // larger.
    virtual std::optional<std::string> readFile(const std::filesystem::path& path,
                                                std::size_t limit) const;
    // Removes a file or an empty directory; false when that failed.
    virtual bool removeItem(const std::filesystem::path& path) const noexcept;
    // True when `a` is a regular file, not a symbolic link to one, and `b` (which may be one) a
    // regular file with the same bytes.
    virtual bool contentsEqual(const std::filesystem::path& a,
                               const std::filesystem::path& b) const noexcept;
    // Removes the hidden partial copies (".daylume-*.part") that copyItem leaves in `directory`
    // should the process die while copying, where the file system cannot make a file without a
    // name.
    virtual void removePartialCopies(const std::filesystem::path& directory) const noexcept;

private:
    std::filesystem::path dataHome_;
    std::filesystem::path stateHome_;
    std::filesystem::path cacheHome_;
};

// A fresh random UUID: 36 upper-case hexadecimal digits and hyphens.
std::string newUuidString();

}  // namespace daylume
