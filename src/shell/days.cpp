// The days before today in the task-bar window: the archive's last days of the user's region,
// a small picture of each, and a day's picture on the desktop at the user's word, where it stays.
#include <algorithm>
#include <chrono>

#include "shell/app_delegate.h"

namespace daylume {

// A list of days is asked for again once it is this old, or of another UTC day.
constexpr auto kDaysFresh = std::chrono::hours(1);
// The names of pictures shown that are remembered: two weeks of days and then some.
constexpr std::size_t kShownNamesKept = 16;

void AppDelegate::setupDays() {
    platform_.application.setWindowActions({
        .seen = [this] { windowSeen(); },
        .setAsDesktop = [this](std::size_t day) { setDayAsDesktop(day); },
        .learnMore = [this](std::optional<std::size_t> day) { learnMore(day); },
    });
}

void AppDelegate::windowSeen() {
    using namespace std::chrono;
    // The region's days, or those of the market in the user's language.
    const std::string market = preferences_.region.empty()
                                   ? std::string(marketForLocale(platform_.bundle.localeName()))
                                   : preferences_.region;
    const Date now = platform_.mainLoop.currentDate();
    const bool fresh = days_.market == market && days_.fetchedAt &&
                       now - *days_.fetchedAt < kDaysFresh &&
                       floor<days>(now) == floor<days>(*days_.fetchedAt);
    if (fresh || days_.asking) return;
    days_.asking = true;
    archive_.fetch(market, [this, market, now](std::vector<ArchiveDay> list) {
        days_.asking = false;
        if (list.empty()) return;  // asked again when the window is next seen
        const int generation = days_.generation + 1;
        days_ = {
            .list = std::move(list), .market = market, .fetchedAt = now, .generation = generation};
        days_.thumbnails.resize(days_.list.size());
        showDays();
        for (std::size_t i = 0; i < days_.list.size(); ++i)
            archive_.fetchThumbnail(
                days_.list[i].found,
                [this, i, generation](std::optional<std::filesystem::path> file) {
                    if (generation != days_.generation) return;
                    days_.thumbnails[i] = std::move(file);
                    showDays();
                });
    });
}

void AppDelegate::showDays() {
    const auto& shown = status_.shownPicture();
    std::vector<DayPicture> pictures;
    for (std::size_t i = 0; i < days_.list.size(); ++i) {
        const FoundImage& found = days_.list[i].found;
        const std::string& address = found.url.absoluteString();
        pictures.push_back({
            .day = days_.list[i].day,
            .title = found.facts.title.value_or(""),
            .credit = found.facts.copyright.value_or(""),
            .thumbnail = days_.thumbnails[i],
            .learnMore = learnMoreLink(found.facts, lookup_.serviceOrigin()).has_value(),
            .onDesktop = shown && (shown->found.url == found.url ||
                                   samePicture(shown->found.url.absoluteString(), address)),
        });
    }
    platform_.application.showDays(pictures);
}

void AppDelegate::setDayAsDesktop(std::size_t day) {
    if (day >= days_.list.size()) return;
    const FoundImage found = days_.list[day].found;
    // The picture of the day the user passed over does not come back by itself.
    if (day > 0) noteShown(days_.list[0].found.url);
    setCurrentImage(found);
    // Today's picture is the picture of the day again: the checks keep it up to date.
    startImageDownload(found, {}, day > 0);
}

void AppDelegate::learnMore(std::optional<std::size_t> day) {
    // A day of the strip, or else the picture on the desktop.
    const auto& shown = status_.shownPicture();
    const FoundImage* found = nullptr;
    if (day && *day < days_.list.size())
        found = &days_.list[*day].found;
    else if (!day && shown)
        found = &shown->found;
    if (!found) return;
    if (const std::optional<Url> link = learnMoreLink(found->facts, lookup_.serviceOrigin()))
        platform_.application.openURL(*link);
}

bool AppDelegate::keepsChosenPicture(const FoundImage& found) const {
    return userChoseDay_ &&
           std::ranges::find(shownNames_, pictureName(found.url.absoluteString())) !=
               shownNames_.end();
}

void AppDelegate::noteShown(const Url& picture) {
    const std::string name = pictureName(picture.absoluteString());
    if (name.empty()) return;
    std::erase(shownNames_, name);
    shownNames_.push_back(name);
    if (shownNames_.size() > kShownNamesKept) shownNames_.erase(shownNames_.begin());
}

}  // namespace daylume
