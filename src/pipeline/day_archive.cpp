#include "pipeline/day_archive.h"

#include <algorithm>

#include "pipeline/image_lookup.h"
#include "pipeline/wallpaper_store.h"

namespace daylume {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kFullSize = "_1920x1080";
constexpr std::string_view kSmallSize = "_400x240";  // one of the sizes the service offers

// The file the cache keeps the small picture of `found` in, named after the picture; nothing
// where the name has nothing to go by or could lead out of the folder.
std::optional<std::string> thumbnailName(const FoundImage& found) {
    const std::string name = pictureName(found.url.absoluteString());
    const bool plain = std::ranges::all_of(name, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-';
    });
    if (name.empty() || name.starts_with('.') || !plain) return std::nullopt;
    return name + ".jpg";
}

// Keeps the newest kCachedThumbnails pictures of the folder.
void pruneCache(const FileManager& files, const fs::path& folder) {
    std::vector<DirectoryEntry> pictures = files.contentsOfDirectory(folder);
    std::erase_if(pictures, [](const DirectoryEntry& entry) {
        return entry.type != fs::file_type::regular || entry.path.extension() != ".jpg";
    });
    sortNewestFirst(pictures);
    for (std::size_t i = kCachedThumbnails; i < pictures.size(); ++i)
        files.removeItem(pictures[i].path);
}

}  // namespace

void DayArchive::fetch(std::string_view market,
                       std::function<void(std::vector<ArchiveDay>)> done) const {
    const std::optional<Url> address =
        Url::parse(serviceOrigin_.absoluteString() + "/HPImageArchive.aspx?format=js&idx=0&n=" +
                   std::to_string(kArchiveDays) + "&mkt=" + std::string(market));
    if (!address) return done({});
    platform_.http.dataTask(
        *address, [&loop = platform_.mainLoop, origin = serviceOrigin_, done = std::move(done)](
                      const std::optional<std::string>& body, const HttpResponse&,
                      const std::optional<Error>& error) {
            std::vector<ArchiveDay> days;
            if (body && !error) days = daysFromAnswer(*body, origin);
            loop.async([done, days = std::move(days)] { done(days); });
        });
}

void DayArchive::fetchThumbnail(const FoundImage& found,
                                std::function<void(std::optional<fs::path>)> done) const {
    auto finish = [&loop = platform_.mainLoop,
                   done = std::move(done)](std::optional<fs::path> file) {
        loop.async([done, file = std::move(file)] { done(file); });
    };
    const std::optional<std::string> name = thumbnailName(found);
    if (!name) return finish(std::nullopt);
    const fs::path target = cacheFolder() / *name;
    if (platform_.files.fileExists(target)) return finish(target);
    // On the install queue, one at a time: a picture is in the cache whole, and only once.
    auto kept = [&files = platform_.files, target](const std::optional<fs::path>& file,
                                                   const HttpResponse& response,
                                                   const std::optional<Error>& error) {
        if (!file || error || response.status != 200) return false;
        try {
            checkPicture(*file, response);
            if (!files.fileExists(target)) {
                files.createDirectory(target.parent_path());
                files.copyItem(*file, target);
                pruneCache(files, target.parent_path());
            }
            return true;
        } catch (const Failure&) {
            return false;
        }
    };
    auto whole = [&http = platform_.http, url = found.url, kept, finish, target] {
        http.downloadTask(url, [kept, finish, target](const std::optional<fs::path>& file,
                                                      const HttpResponse& response,
                                                      const std::optional<Error>& error) {
            finish(kept(file, response, error) ? std::optional(target) : std::nullopt);
        });
    };
    const std::string& address = found.url.absoluteString();
    const std::size_t size = address.find(kFullSize);
    const std::optional<Url> small =
        size == std::string::npos ? std::nullopt
                                  : Url::parse(address.substr(0, size) + std::string(kSmallSize) +
                                               address.substr(size + kFullSize.size()));
    if (!small) return whole();
    platform_.http.downloadTask(*small,
                                [kept, finish, whole, target](const std::optional<fs::path>& file,
                                                              const HttpResponse& response,
                                                              const std::optional<Error>& error) {
                                    if (kept(file, response, error)) return finish(target);
                                    whole();
                                });
}

fs::path DayArchive::cacheFolder() const {
    return platform_.files.cacheDirectory() / "daylume";
}

}  // namespace daylume
