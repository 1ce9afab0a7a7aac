#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace daylume {

struct ImageInfo {
    std::string format;  // "jpeg", "png" or "webp"
    int width = 0;       // as the header declares it
    int height = 0;
};

// Reads the header of `file`, not the pixels nor the metadata: a JPEG, PNG or WebP picture whose
// size can be read, or nothing. A JPEG's comment and application segments are skipped unread.
std::optional<ImageInfo> probeImage(const std::filesystem::path& file);

// True when `file`, probed as `info`, is a whole picture. A JPEG is decoded, at an eighth of its
// size, and must reach its end without the decoder reporting any damage; bytes after its end are
// not looked at. A PNG must end with its IEND chunk, a WebP at the length its RIFF header gives.
bool isWholePicture(const std::filesystem::path& file, const ImageInfo& info);

}  // namespace daylume
