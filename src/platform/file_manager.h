#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace daylume {

struct DirectoryEntry {
    std::filesystem::path path;
    // Birth time; where the file system keeps none, the modification time stands in.
    std::optional<std::chrono::system_clock::time_point> creationDate;
};

// File operations on the per-user data directory. Failures throw Failure. Safe to use from any
// thread.
class FileManager {
public:
    explicit FileManager(std::filesystem::path dataHome);
    // $XDG_DATA_HOME, or ~/.local/share.
    static std::filesystem::path userDataHome();

    // The per-user data directory, created when missing.
    std::filesystem::path applicationSupportDirectory() const;
    // True when any item, of any kind, exists at `path`.
    bool fileExists(const std::filesystem::path& path) const;
    // Creates `path` with any missing parents.
    void createDirectory(const std::filesystem::path& path) const;
    // Copies `from` to the new name `to` through a hidden temporary file beside `to`, so that an
    // interrupted copy never leaves a partial file under the final name. Fails when `to` exists.
    void copyItem(const std::filesystem::path& from, const std::filesystem::path& to) const;
    // The direct entries of `directory`, hidden ones left out, with their creation dates.
    std::vector<DirectoryEntry> contentsOfDirectory(const std::filesystem::path& directory) const;
    // Removes a file or an empty directory; false when that failed.
    bool removeItem(const std::filesystem::path& path) const noexcept;

private:
    std::filesystem::path dataHome_;
};

// A fresh random UUID: 36 upper-case hexadecimal digits and hyphens.
std::string newUuidString();

}  // namespace daylume
