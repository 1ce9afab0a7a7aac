#include "pipeline/image_lookup.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <memory>
#include <mutex>
#include <vector>

namespace daylume {
namespace {

// What a market's failed request says about why nothing was found: an answer without a picture
// has its status said when that was no success.
LookupFailure whyFailed(const HttpResponse& response, const std::optional<Error>& error) {
    if (error) return {error->cause, error->detail};
    if (response.status >= 300) return {Cause::HttpStatus, std::to_string(response.status)};
    return {Cause::NoPicture, {}};
}

// What one lookup shares between its eight answer handlers and its deadline.
struct LookupState {
    LookupState(LookupCompletion completion, UserFactsCompletion onUserFacts, Platform& platform,
                Url serviceOrigin, std::string_view regionCode)
        : completion(std::move(completion)),
          onUserFacts(std::move(onUserFacts)),
          http(platform.http),
          log(platform.log),
          serviceOrigin(std::move(serviceOrigin)),
          userMarket(marketForLocale(platform.bundle.localeName())),
          region(std::ranges::find(marketCodes, regionCode) - marketCodes.begin()) {}

    void handleMarketResponse(std::size_t market, const std::optional<std::string>& body,
                              const HttpResponse& response, const std::optional<Error>& error);
    void handleLookupTimeout();

private:
    void deliver(std::size_t market, FoundImage found);
    void userFactsEnded(std::optional<FoundImage> local);

public:
    std::mutex answerMutex;  // one answer at a time decides whether it is the one delivered
    std::vector<HttpTaskId> requests;

private:
    std::optional<FoundImage> delivered;
    std::bitset<marketCodes.size()> ended;  // the markets whose request has ended
    bool expired = false;                   // the deadline has passed
    // While the region's market may still answer: the first usable answer of another, by market.
    std::optional<std::pair<std::size_t, FoundImage>> standIn;
    // By cause, with the last failure of each, for the deadline to tell why.
    std::array<std::pair<int, LookupFailure>, kCauseCount> failures{};
    LookupCompletion completion;
    UserFactsCompletion onUserFacts;
    HttpClient& http;
    Log& log;
    const Url serviceOrigin;
    // The market in the user's language: after another market's find, it is awaited until the
    // deadline for titles the user can read.
    const std::string_view userMarket;
    // The market the user chose, whose answer is delivered when it is usable; marketCodes.size()
    // for any market.
    const std::size_t region;
};

void LookupState::handleMarketResponse(std::size_t market, const std::optional<std::string>& body,
                                       const HttpResponse& response,
                                       const std::optional<Error>& error) {
    std::lock_guard lock(answerMutex);
    ended.set(market);
    std::optional<FoundImage> found;
    if (body && !error) found = imageFromAnswer(*body, serviceOrigin);
    if (delivered) {
        if (marketCodes[market] == userMarket) userFactsEnded(std::move(found));
        return;
    }
    if (found && market != region && region < marketCodes.size() && !ended.test(region) &&
        !expired) {
        if (!standIn) standIn.emplace(market, std::move(*found));
        return;
    }
    if (found) return deliver(market, std::move(*found));
    // The region's market failed: another's answer will do, the first one in.
    if (standIn && market == region) return deliver(standIn->first, std::move(standIn->second));
    LookupFailure why = whyFailed(response, error);
    auto& [count, last] = failures.at(std::size_t(why.cause));
    ++count;
    last = std::move(why);
}

void LookupState::deliver(std::size_t market, FoundImage found) {
    found.market = marketCodes[market];
    const auto user = std::ranges::find(marketCodes, userMarket) - marketCodes.begin();
    // A region's answer is the one the user chose to read.
    found.factsFinal =
        region < marketCodes.size() || found.market == userMarket || ended.test(std::size_t(user));
    delivered = found;
    // The other answers would be dropped unread; their connections are better let go.
    for (std::size_t i = 0; i < requests.size(); ++i)
        if (marketCodes[i] != userMarket || found.factsFinal) http.cancel(requests[i]);
    log.line("✅ 全球优先：成功拉取 [" + found.market + "] 区域图 " + found.url.absoluteString());
    completion(std::move(found), {});
}

void LookupState::userFactsEnded(std::optional<FoundImage> local) {
    if (delivered->factsFinal) return;
    delivered->factsFinal = true;
    onUserFacts(*delivered, std::move(local));
}

void LookupState::handleLookupTimeout() {
    std::lock_guard lock(answerMutex);
    if (delivered) {
        if (delivered->factsFinal) return;
        for (std::size_t i = 0; i < requests.size(); ++i)
            if (marketCodes[i] == userMarket) http.cancel(requests[i]);
        return userFactsEnded(std::nullopt);
    }
    expired = true;
    if (standIn) return deliver(standIn->first, std::move(standIn->second));
    const auto most = std::ranges::max_element(
        failures, [](const auto& a, const auto& b) { return a.first < b.first; });
    log.line("❌ 所有区域抓取超时，返回 nil");
    completion(std::nullopt, most->first > 0 ? most->second : LookupFailure{});
}

}  // namespace

void ImageLookup::fetch(LookupCompletion completion, UserFactsCompletion userFacts,
                        std::string_view region) const {
    auto state = std::make_shared<LookupState>(std::move(completion), std::move(userFacts),
                                               platform_, serviceOrigin_, region);
    // No answer is handled before every request is started and known.
    std::lock_guard lock(state->answerMutex);
    for (std::size_t market = 0; market < marketCodes.size(); ++market) {
        const auto address =
            Url::parse(serviceOrigin_.absoluteString() + std::string(kArchivePath) +
                       std::string(marketCodes[market]));
        state->requests.push_back(platform_.http.dataTask(
            *address,
            [state, market](const std::optional<std::string>& body, const HttpResponse& response,
                            const std::optional<Error>& error) {
                state->handleMarketResponse(market, body, response, error);
            }));
    }
    platform_.mainLoop.asyncAfter(lookupTimeout, [state] { state->handleLookupTimeout(); });
}

}  // namespace daylume
