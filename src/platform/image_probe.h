#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace daylume {

struct ImageInfo {
    std::string format;  // "jpeg", "png" or "webp"
    int width = 0;       // as the header declares it
    int height = 0;
    // The file ends where such a picture ends: a JPEG with its end-of-image marker, a PNG with
    // its IEND chunk, a WebP at the length its RIFF header gives.
    bool complete = false;
};

// Reads the header and the end of `file`, not the pixels: a JPEG, PNG or WebP picture whose
// size can be read, or nothing.
std::optional<ImageInfo> probeImage(const std::filesystem::path& file);

}  // namespace daylume
