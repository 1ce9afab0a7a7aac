#include "pipeline/image_lookup.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "shell/app_delegate.h"

namespace daylume {
namespace {

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

void AppDelegate::fetchLatestImageURL(LookupCompletion completion) {
    auto state =
        std::make_shared<LookupState>(std::move(completion), platform_.log, serviceOrigin_);
    for (std::string_view market : marketCodes) {
        const auto address = Url::parse(serviceOrigin_.absoluteString() +
                                        std::string(kArchivePath) + std::string(market));
        platform_.http.dataTask(
            *address, [state, market](const std::optional<std::string>& body, const HttpResponse&,
                                      const std::optional<Error>& error) {
                state->handleMarketResponse(market, body, error);
            });
    }
    platform_.mainLoop.asyncAfter(lookupTimeout, [state] { state->handleLookupTimeout(); });
}

}  // namespace daylume
