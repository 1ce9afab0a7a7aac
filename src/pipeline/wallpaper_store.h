#pragma once

#include <string_view>

namespace daylume {

inline constexpr std::string_view kImageFolderName = "Daylume";
inline constexpr std::size_t kKeptImages = 3;

// A folder entry counts as a stored picture when its name begins with "daylume-" and its
// extension (after the last full stop) is exactly "jpg"; both tests are case-sensitive.
bool isStoredImageName(std::string_view fileName);

}  // namespace daylume
