#include "pipeline/wallpaper_store.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "pipeline/image_lookup.h"
#include "platform/image_probe.h"

namespace daylume {
namespace fs = std::filesystem;

namespace {

// Desktops decode the whole picture; beyond this a picture would take gigabytes to show.
constexpr int kMaxSide = 16384;
constexpr long long kMaxPixels = 100'000'000;

// What arrived, for the failure line: "HTTP 200, image/jpeg, 700 bytes".
std::string described(const fs::path& file, const HttpResponse& response) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    return "HTTP " + std::to_string(response.status) + ", " +
           (response.contentType.empty() ? "no content type" : response.contentType) + ", " +
           (ec ? "unknown size" : std::to_string(size) + " bytes");
}

std::vector<DirectoryEntry> storedImages(const FileManager& files, const fs::path& folder) {
    std::vector<DirectoryEntry> images = files.contentsOfDirectory(folder);
    // A symbolic link or a folder named like a picture is none of ours: pruning for it would
    // delete real pictures, and setting a link would show whatever it points to.
    std::erase_if(images, [](const DirectoryEntry& entry) {
        return entry.type != fs::file_type::regular ||
               !isStoredImageName(entry.path.filename().native());
    });
    return images;
}

// A stored picture with the same bytes as `file`, if there is one. The folder is looked at again
// after any new copy, which is where a listing that fails is reported.
std::optional<fs::path> keptCopyOf(const FileManager& files, const fs::path& folder,
                                   const fs::path& file) {
    try {
        for (const DirectoryEntry& image : storedImages(files, folder))
            if (files.contentsEqual(image.path, file)) return image.path;
    } catch (const Failure&) {
    }
    return std::nullopt;
}

// Which picture each stored copy is, by file name: "<file>\t<picture name>" a line. Without it,
// or where it cannot be read, no copy is known as the same picture.
constexpr std::string_view kNamesFile = ".names";

std::map<std::string, std::string> readNames(const FileManager& files, const fs::path& folder) {
    std::map<std::string, std::string> names;
    std::istringstream lines(files.readFile(folder / kNamesFile, 64 << 10).value_or(""));
    for (std::string line; std::getline(lines, line);)
        if (const auto tab = line.find('\t'); tab != std::string::npos)
            names[line.substr(0, tab)] = line.substr(tab + 1);
    return names;
}

// Keeps the new copy and the newest others, kKeptImages in all; a copy of the same picture at
// another size (found, then in Ultra HD) goes first, instead of an earlier day's. The picture the
// lock screen names stays whatever its age. Returns whether a copy of the same picture went.
bool prune(const FileManager& files, const fs::path& folder, const fs::path& newCopy,
           const std::string& name, const std::optional<fs::path>& lockScreen) {
    std::map<std::string, std::string> names = readNames(files, folder);
    names[newCopy.filename()] = name;
    std::vector<DirectoryEntry> others = storedImages(files, folder);
    std::erase_if(others, [&](const DirectoryEntry& entry) {
        return entry.path == newCopy || entry.path == lockScreen;
    });
    sortNewestFirst(others);
    const auto sameName =
        std::stable_partition(others.begin(), others.end(), [&](const DirectoryEntry& entry) {
            return name.empty() || names[entry.path.filename()] != name;
        });
    const bool replaced = sameName != others.end();
    for (std::size_t i = std::min<std::size_t>(kKeptImages - 1, sameName - others.begin());
         i < others.size(); ++i)
        files.removeItem(others[i].path);
    std::string kept;
    for (const auto& [file, picture] : names)
        if (files.fileExists(folder / file)) kept.append(file).append("\t").append(picture) += '\n';
    try {
        files.writeFile(folder / kNamesFile, kept);
    } catch (const Failure&) {
        // Only the next copy of this picture stands beside this one then.
    }
    return replaced;
}

}  // namespace

PixelSize checkPicture(const fs::path& file, const HttpResponse& response) {
    const std::optional<ImageInfo> info = probeImage(file);
    if (!info) {
        // An error page: what the service answered says more than what it sent.
        const bool answeredOk = response.status == 0 || response.status == 200;
        throw Failure(
            makeError(ErrorDomain::Picture, PictureFailure::NotAPicture,
                      "received no JPEG, PNG or WebP picture: " + described(file, response),
                      answeredOk ? Cause::NotAPicture : Cause::HttpStatus,
                      answeredOk ? "" : std::to_string(response.status)));
    }
    if (info->width > kMaxSide || info->height > kMaxSide ||
        (long long)info->width * info->height > kMaxPixels)
        throw Failure(makeError(ErrorDomain::Picture, PictureFailure::TooLarge,
                                "the picture is too large to show: " + std::to_string(info->width) +
                                    "x" + std::to_string(info->height) + " pixels",
                                Cause::PictureTooLarge));
    // Decoded only once its size is known to be one a desktop can show, so that the check costs
    // what showing it would at most.
    if (!isWholePicture(file, *info))
        throw Failure(makeError(
            ErrorDomain::Picture, PictureFailure::Incomplete,
            "received an incomplete " + info->format + " picture: " + described(file, response),
            Cause::PictureIncomplete));
    return {info->width, info->height};
}

bool isStoredImageName(std::string_view name) {
    const auto dot = name.rfind('.');
    return name.starts_with("daylume-") && dot != std::string_view::npos &&
           name.substr(dot + 1) == "jpg";
}

void WallpaperStore::downloadAndInstall(const FoundImage& found, bool ultraHD,
                                        InstallChoices choices, InstallDone done) const {
    choices.pictureName = pictureName(found.url.absoluteString());
    auto install = [this, choices, done = std::move(done)](
                       std::optional<fs::path> file, const HttpResponse& response,
                       std::optional<Error> error, std::optional<PixelSize> checked = {}) {
        InstallChoices these = choices;
        these.checked = checked;
        done(handleDownloadedImage(std::move(file), response, std::move(error), these));
    };
    if (!found.ultraHD || !ultraHD) return platform_.http.downloadTask(found.url, install);
    // Older pictures have no Ultra HD copy, and the service may fail to give one: whatever ends
    // its tries without a whole picture, the one found instead, once.
    platform_.http.downloadTask(
        *found.ultraHD,
        [this, url = found.url, install](std::optional<fs::path> file, const HttpResponse& response,
                                         std::optional<Error> error) {
            if (file && !error && response.status == 200) {
                try {
                    const PixelSize size = checkPicture(*file, response);
                    return install(std::move(file), response, std::move(error), size);
                } catch (const Failure&) {
                }
            }
            platform_.http.downloadTask(url, install);
        });
}

void WallpaperStore::installAgain(const fs::path& picture, const InstallChoices& choices,
                                  InstallDone done) const {
    platform_.installQueue.async([this, picture, choices, done = std::move(done)] {
        done(installWallpaper(picture, {200, "image/jpeg"}, choices));
    });
}

void WallpaperStore::setLockScreen(const std::optional<fs::path>& picture,
                                   std::function<void(const Error&)> failed) const {
    platform_.installQueue.async([this, picture, failed = std::move(failed)] {
        try {
            if (picture)
                platform_.desktop.setLockScreenPicture(*picture);
            else
                platform_.desktop.restoreLockScreen();
        } catch (const Failure& failure) {
            failed(failure.error());
        }
    });
}

InstallOutcome WallpaperStore::handleDownloadedImage(std::optional<fs::path> file,
                                                     const HttpResponse& response,
                                                     std::optional<Error> error,
                                                     const InstallChoices& choices) const {
    if (file && !error) return installWallpaper(*file, response, choices);
    platform_.log.line("❌ 图片下载失败：" + (error ? error->localizedDescription() : "未知错误"));
    return {.error = error.value_or(makeError(ErrorDomain::Picture, PictureFailure::NotDownloaded,
                                              "未知错误", Cause::Unknown)),
            .inDownload = true};
}

InstallOutcome WallpaperStore::installWallpaper(const fs::path& file, const HttpResponse& response,
                                                const InstallChoices& choices) const {
    FileManager& files = platform_.files;
    InstallOutcome outcome;
    try {
        const fs::path folder = imageFolder();
        // A picture already kept (the launch's second lookup, a refresh of the same day) is set
        // again, neither checked nor stored again: three copies of today would push out the
        // earlier days.
        outcome.picture = keptCopyOf(files, folder, file);
        if (outcome.picture) {
            const std::optional<ImageInfo> info = probeImage(*outcome.picture);
            if (info) outcome.size = {info->width, info->height};
        } else {
            outcome.size = choices.checked ? *choices.checked : checkPicture(file, response);
            if (!files.fileExists(folder)) files.createDirectory(folder);
            const fs::path copy = folder / ("daylume-" + newUuidString() + ".jpg");
            files.copyItem(file, copy);
            outcome.picture = copy;
            outcome.newCopy = true;
            outcome.replaced = prune(files, folder, copy, choices.pictureName,
                                     platform_.desktop.lockScreenPicture());
        }

        const std::optional<Screen> screen = platform_.desktop.mainScreen();
        if (!screen) {
            platform_.log.line("⚠️ 无法获取主屏幕，跳过设置壁纸");
            return outcome;
        }
        platform_.desktop.setDesktopPicture(*outcome.picture, *screen);
        platform_.log.line("✅ 壁纸设置成功：" + outcome.picture->string());
        outcome.onDesktop = true;
        // The lock screen's failure is its own: the desktop shows the picture all the same.
        if (choices.lockScreen) {
            try {
                platform_.desktop.setLockScreenPicture(*outcome.picture);
            } catch (const Failure& failure) {
                outcome.lockScreenError = failure.error();
            }
        }
    } catch (const Failure& failure) {
        platform_.log.line("❌ 设置桌面壁纸失败：" + failure.error().description());
        outcome.error = failure.error();
    }
    return outcome;
}

fs::path WallpaperStore::imageFolder() const {
    return platform_.files.applicationSupportDirectory() / kImageFolderName;
}

void WallpaperStore::removeInterruptedCopies() const {
    try {
        platform_.files.removePartialCopies(imageFolder());
    } catch (const Failure&) {
        // No data folder yet: nothing was left there either.
    }
}

}  // namespace daylume
