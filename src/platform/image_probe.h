#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace daylume {

struct ImageInfo {
    std::string format;  // "jpeg", "png" or "webp"
    int width = 0;
    int height = 0;
};

// Reads only the header: a JPEG, PNG or WebP picture whose size can be read, or nothing.
std::optional<ImageInfo> probeImage(const std::filesystem::path& file);

}  // namespace daylume
