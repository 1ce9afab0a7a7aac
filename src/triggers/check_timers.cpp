#include <algorithm>
#include <chrono>

#include "shell/app_delegate.h"

namespace daylume {

constexpr Seconds kHourlyInterval{3600.0};
// The next-day timer fires this long after 00:00:00 UTC.
constexpr Seconds kAfterMidnight{1.0};

void AppDelegate::startHourlyTimer() {
    auto lastSeenURLString = std::make_shared<std::optional<std::string>>();
    if (timer) timer->invalidate();
    timer = platform_.mainLoop.scheduledTimer(
        kHourlyInterval, true, [this, lastSeenURLString](const std::shared_ptr<Timer>& fired) {
            runHourlyCheck(fired, lastSeenURLString);
        });
}

void AppDelegate::runHourlyCheck(const std::shared_ptr<Timer>& fired,
                                 const LastSeenURL& lastSeenURLString) {
    platform_.log.line("🔁 每小时检查 Bing 是否有新图");
    // The closures cross threads and may be released on the network thread: a timer must not
    // be, so they hold it weakly.
    fetchLatestImageURL(onMainThread([this, fired = std::weak_ptr(fired), lastSeenURLString](
                                         std::optional<FoundImage> found, const LookupFailure&) {
        handleHourlyResult(std::move(found), lastSeenURLString, fired);
    }));
}

void AppDelegate::handleHourlyResult(std::optional<FoundImage> found,
                                     const LastSeenURL& lastSeenURLString,
                                     const std::weak_ptr<Timer>& fired) {
    if (!found) {
        platform_.log.line("❌ 无法获取 Bing 图片");
        return;
    }
    const std::string text = found->url.absoluteString();
    if (*lastSeenURLString == text) return;
    *lastSeenURLString = text;
    const Date takenAt = platform_.mainLoop.currentDate();
    // The user put another day's picture in place of this one: the day's check is done.
    if (keepsChosenPicture(*found)) {
        if (const auto hourly = fired.lock()) hourly->invalidate();
        return scheduleNextDayTimer(takenAt);
    }
    setCurrentImage(*found);
    startImageDownload(*found, [this, text, lastSeenURLString, fired, takenAt](bool installed) {
        if (installed) {
            // The day's picture is in place: wait for the next day's.
            if (const auto hourly = fired.lock()) hourly->invalidate();
            scheduleNextDayTimer(takenAt);
        } else if (*lastSeenURLString == text) {
            lastSeenURLString->reset();  // the next tick tries again, not tomorrow's
        }
    });
    platform_.log.line("✅ 成功拉取并设置新壁纸");
}

void AppDelegate::scheduleNextDayTimer(std::optional<Date> resultTakenAt) {
    using namespace std::chrono;
    // System time counts UTC days, whatever the machine's time zone: the next midnight is the
    // first instant strictly after the result that starts a day, a whole day away at midnight
    // itself. An install that ended after it hands over at once.
    const Date now = platform_.mainLoop.currentDate();
    const Date nextMidnight = floor<days>(resultTakenAt.value_or(now)) + days(1);
    const Seconds interval =
        std::max(Seconds(0), duration_cast<Seconds>(nextMidnight - now) + kAfterMidnight);
    if (timer) timer->invalidate();
    timer = platform_.mainLoop.scheduledTimer(
        interval, false, [this](const std::shared_ptr<Timer>&) { startHourlyTimer(); });
}

}  // namespace daylume
