#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "pipeline/picture_types.h"
#include "platform/platform.h"

namespace daylume {

inline constexpr std::string_view kImageFolderName = "Daylume";
inline constexpr std::size_t kKeptImages = 3;

// A folder entry counts as a stored picture when its name begins with "daylume-" and its
// extension (after the last full stop) is exactly "jpg"; both tests are case-sensitive.
bool isStoredImageName(std::string_view fileName);

// Only a whole picture of a size a desktop can show is stored: an error page, a download cut
// short or a picture of billions of pixels must never become the wallpaper nor push a good
// picture out. Returns its size; throws Failure.
PixelSize checkPicture(const std::filesystem::path& file, const HttpResponse& response);

// How a picture reaches the desktop: downloaded, checked, kept in the data folder with the newest
// others, and set. Why it is installed is the caller's business. Installs run on the platform's
// install queue and touch nothing but the platform.
class WallpaperStore {
public:
    explicit WallpaperStore(Platform& platform) : platform_(platform) {}

    // Gets the outcome, on the install queue.
    using InstallDone = std::function<void(InstallOutcome)>;
    // Downloads the find's picture, in Ultra HD when `ultraHD` and the find has it, and installs
    // it.
    void downloadAndInstall(const FoundImage& found, bool ultraHD, InstallChoices choices,
                            InstallDone done) const;
    // Installs a picture kept already, after the installs under way.
    void installAgain(const std::filesystem::path& picture, const InstallChoices& choices,
                      InstallDone done) const;
    // Sets the lock screen's picture, or puts back what it showed before, after the installs
    // under way; `failed` learns why it could not, on the install queue.
    void setLockScreen(const std::optional<std::filesystem::path>& picture,
                       std::function<void(const Error&)> failed) const;

    // What a download brought, installed; its failure is logged.
    InstallOutcome handleDownloadedImage(std::optional<std::filesystem::path> file,
                                         const HttpResponse& response, std::optional<Error> error,
                                         const InstallChoices& choices = {}) const;
    // Checks, stores and sets a picture; logs the outcome.
    InstallOutcome installWallpaper(const std::filesystem::path& file, const HttpResponse& response,
                                    const InstallChoices& choices = {}) const;

    // The folder the pictures are kept in.
    std::filesystem::path imageFolder() const;
    // Removes what an install killed halfway may have left in the picture folder.
    void removeInterruptedCopies() const;

private:
    Platform& platform_;
};

}  // namespace daylume
