#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "pipeline/image_lookup.h"
#include "platform/platform.h"

namespace daylume {

inline constexpr std::string_view kServiceOrigin = "https://www.bing.com";

// The one object that owns the application's state and receives every command, notification,
// timer and result. Its fields belong to the main thread.
class AppDelegate {
public:
    // `serviceOrigin` is the image service, scheme and host; tests point it at a stand-in.
    explicit AppDelegate(Platform& platform, std::string_view serviceOrigin = kServiceOrigin);

    // ---- Update coordinator (pipeline/update_coordinator.cpp)
    void refreshWallpaper();
    void handleRefreshResult(std::optional<Url> url);
    void startImageDownload(const Url& url);

    // ---- Image-of-the-day lookup (pipeline/image_lookup.cpp)
    // Asks every market at once. The completion gets the first usable address (on the HTTP
    // client's callback thread) or, if none came within lookupTimeout, nothing (on the main
    // thread); a late answer may still follow that.
    void fetchLatestImageURL(LookupCompletion completion);

    // ---- Wallpaper store and install (pipeline/wallpaper_store.cpp)
    // Run on the download queue; they touch no state of the delegate.
    static void handleDownloadedImage(Platform& platform, std::optional<std::filesystem::path> file,
                                      const HttpResponse& response, std::optional<Error> error);
    static void installWallpaper(Platform& platform, const std::filesystem::path& file,
                                 const HttpResponse& response);

    // The address of the image whose download was started most recently; never cleared.
    std::optional<Url> currentImageURL;

private:
    // Wraps a result handler so that it runs on the main thread whatever thread delivers.
    template <typename Handler>
    LookupCompletion onMainThread(Handler handler) {
        return [this, handler = std::move(handler)](std::optional<Url> url) mutable {
            platform_.mainLoop.async(
                [handler, url = std::move(url)]() mutable { handler(std::move(url)); });
        };
    }

    Platform& platform_;
    Url serviceOrigin_;
};

}  // namespace daylume
