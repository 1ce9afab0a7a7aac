#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "pipeline/picture_types.h"
#include "platform/platform.h"

namespace daylume {

// How many days the window looks back on, today included, and how many small pictures of them
// the cache keeps.
inline constexpr std::size_t kArchiveDays = 8;
inline constexpr std::size_t kCachedThumbnails = 16;

// One day's picture in the service's archive.
struct ArchiveDay {
    FoundImage found;
    Date day;  // its first instant, UTC
};

// The days an archive answer lists, newest first, those without a usable picture or day left out.
std::vector<ArchiveDay> daysFromAnswer(std::string_view body, const Url& serviceOrigin);

// The last days' pictures of one market, for the user to look back on, with a small picture of
// each kept in the user's cache folder.
class DayArchive {
public:
    DayArchive(Platform& platform, Url serviceOrigin)
        : platform_(platform), serviceOrigin_(std::move(serviceOrigin)) {}

    // Asks the archive for the last kArchiveDays days of `market`; `done` gets them on the main
    // thread, none when the request failed.
    void fetch(std::string_view market, std::function<void(std::vector<ArchiveDay>)> done) const;
    // A small picture of `found` in the cache: the service's own small size, else the picture
    // itself when that is refused; checked like any picture. `done` gets its file on the main
    // thread, nothing when there is none to be had.
    void fetchThumbnail(const FoundImage& found,
                        std::function<void(std::optional<std::filesystem::path>)> done) const;

private:
    std::filesystem::path cacheFolder() const;

    Platform& platform_;
    const Url serviceOrigin_;
};

}  // namespace daylume
