#include "pipeline/image_lookup.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/json.h"
#include "shell/app_delegate.h"

namespace daylume {
namespace {

// Removes every "&pid=hp" in one left-to-right pass; text that only forms the marker once an
// occurrence is gone stays.
std::string withoutPidMarker(std::string_view text) {
    constexpr std::string_view marker = "&pid=hp";
    std::string result;
    result.reserve(text.size());
    for (std::size_t pos = 0;;) {
        const std::size_t found = text.find(marker, pos);
        result.append(text.substr(pos, found - pos));
        if (found == std::string_view::npos) return result;
        pos = found + marker.size();
    }
}

// What one lookup shares between its eight answer handlers and its deadline.
struct LookupState {
    LookupState(LookupCompletion completion, Log& log, Url serviceOrigin)
        : completion(std::move(completion)), log(log), serviceOrigin(std::move(serviceOrigin)) {}

    void handleMarketResponse(std::string_view market, const std::optional<std::string>& body,
                              const std::optional<Error>& error);
    void handleLookupTimeout();

    std::atomic<bool> hasDeliveredURL{false};
    std::mutex answerMutex;  // one answer at a time decides whether it is the one delivered
    LookupCompletion completion;
    Log& log;
    const Url serviceOrigin;
};

void LookupState::handleMarketResponse(std::string_view market,
                                       const std::optional<std::string>& body,
                                       const std::optional<Error>& error) {
    std::optional<Url> url;
    {
        std::lock_guard lock(answerMutex);
        if (!body || error || hasDeliveredURL) return;
        url = imageURLFromAnswer(*body, serviceOrigin);
        if (!url) return;
        hasDeliveredURL = true;
    }
    log.line("✅ 全球优先：成功拉取 [" + std::string(market) + "] 区域图 " + url->absoluteString());
    completion(std::move(url));
}

void LookupState::handleLookupTimeout() {
    if (hasDeliveredURL) return;
    log.line("❌ 所有区域抓取超时，返回 nil");
    completion(std::nullopt);
}

}  // namespace

std::optional<Url> imageURLFromAnswer(std::string_view body, const Url& serviceOrigin) {
    const std::optional<Json> root = Json::parse(body);
    if (!root || !root->isObject()) return std::nullopt;
    const std::optional<Json> images = root->member("images");
    if (!images || !images->isArray() || images->size() == 0) return std::nullopt;
    for (std::size_t i = 0; i < images->size(); ++i)
        if (!images->at(i).isObject()) return std::nullopt;
    const std::optional<Json> address = images->at(0).member("url");
    if (!address || !address->isString()) return std::nullopt;

    // The address is relative to the service; composed, it must still name the service's own
    // origin ("@other.example/x.jpg" or an absolute address would not).
    std::optional<Url> url =
        Url::parse(serviceOrigin.absoluteString() + withoutPidMarker(address->string()));
    if (!url || url->origin() != serviceOrigin.origin()) return std::nullopt;
    return url;
}

void AppDelegate::fetchLatestImageURL(LookupCompletion completion) {
    auto state =
        std::make_shared<LookupState>(std::move(completion), platform_.log, serviceOrigin_);
    for (std::string_view market : marketCodes) {
        const auto address = Url::parse(serviceOrigin_.absoluteString() +
                                        std::string(kArchivePath) + std::string(market));
        platform_.http.dataTask(
            *address, [state, market](std::optional<std::string> body, const HttpResponse&,
                                      std::optional<Error> error) {
                state->handleMarketResponse(market, body, error);
            });
    }
    platform_.mainLoop.asyncAfter(lookupTimeout, [state] { state->handleLookupTimeout(); });
}

}  // namespace daylume
