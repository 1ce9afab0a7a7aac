#include "pipeline/image_lookup.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace daylume {
namespace {

// What a market's failed request says about why nothing was found.
LookupFailure whyFailed(const std::optional<Error>& error) {
    if (!error) return {Cause::NoPicture, {}};  // an answer, but no picture in it
    return {error->cause, error->detail};
}

// What one lookup shares between its eight answer handlers and its deadline.
struct LookupState {
    LookupState(LookupCompletion completion, std::function<void(FoundImage)> onUserFacts,
                Platform& platform, Url serviceOrigin)
        : completion(std::move(completion)),
          onUserFacts(std::move(onUserFacts)),
          http(platform.http),
          log(platform.log),
          serviceOrigin(std::move(serviceOrigin)),
          userMarket(marketForLocale(platform.bundle.localeName())) {}

    void handleMarketResponse(std::string_view market, const std::optional<std::string>& body,
                              const std::optional<Error>& error);
    void handleLookupTimeout();

    std::mutex answerMutex;  // one answer at a time decides whether it is the one delivered
    bool hasDeliveredURL = false;
    std::vector<HttpTaskId> requests;
    // By cause, with the last failure of each, for the deadline to tell why.
    std::array<std::pair<int, LookupFailure>, kCauseCount> failures{};
    LookupCompletion completion;
    std::function<void(FoundImage)> onUserFacts;
    HttpClient& http;
    Log& log;
    const Url serviceOrigin;
    // The market in the user's language: what it finds after the delivery, until the deadline,
    // goes to onUserFacts.
    const std::string_view userMarket;
};

void LookupState::handleMarketResponse(std::string_view market,
                                       const std::optional<std::string>& body,
                                       const std::optional<Error>& error) {
    std::optional<FoundImage> found;
    {
        std::lock_guard lock(answerMutex);
        if (hasDeliveredURL && market != userMarket) return;
        if (body && !error) found = imageFromAnswer(*body, serviceOrigin);
        if (hasDeliveredURL) {
            if (found) onUserFacts(std::move(*found));
            return;
        }
        if (!found) {
            LookupFailure why = whyFailed(error);
            auto& [count, last] = failures.at(std::size_t(why.cause));
            ++count;
            last = std::move(why);
            return;
        }
        hasDeliveredURL = true;
        // The other answers would be dropped unread; their connections are better let go. The
        // user's market's answer is awaited until the deadline, for titles the user can read.
        for (std::size_t i = 0; i < requests.size(); ++i)
            if (marketCodes[i] != userMarket || market == userMarket) http.cancel(requests[i]);
    }
    log.line("✅ 全球优先：成功拉取 [" + std::string(market) + "] 区域图 " +
             found->url.absoluteString());
    completion(std::move(found), {});
}

void LookupState::handleLookupTimeout() {
    LookupFailure why;
    {
        std::lock_guard lock(answerMutex);
        if (hasDeliveredURL) {
            for (std::size_t i = 0; i < requests.size(); ++i)
                if (marketCodes[i] == userMarket) http.cancel(requests[i]);
            return;
        }
        const auto most = std::ranges::max_element(
            failures, [](const auto& a, const auto& b) { return a.first < b.first; });
        if (most->first > 0) why = most->second;
    }
    log.line("❌ 所有区域抓取超时，返回 nil");
    completion(std::nullopt, why);
}

}  // namespace

void ImageLookup::fetch(LookupCompletion completion,
                        std::function<void(FoundImage)> userFacts) const {
    auto state = std::make_shared<LookupState>(std::move(completion), std::move(userFacts),
                                               platform_, serviceOrigin_);
    // No answer is handled before every request is started and known.
    std::lock_guard lock(state->answerMutex);
    for (std::string_view market : marketCodes) {
        const auto address = Url::parse(serviceOrigin_.absoluteString() +
                                        std::string(kArchivePath) + std::string(market));
        state->requests.push_back(platform_.http.dataTask(
            *address, [state, market](const std::optional<std::string>& body, const HttpResponse&,
                                      const std::optional<Error>& error) {
                state->handleMarketResponse(market, body, error);
            }));
    }
    platform_.mainLoop.asyncAfter(lookupTimeout, [state] { state->handleLookupTimeout(); });
}

}  // namespace daylume
