#include <algorithm>
#include <cctype>
#include <chrono>

#include "pipeline/day_archive.h"
#include "pipeline/image_lookup.h"
#include "platform/json.h"

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

// What a credit says the picture shows: "Snowy owl" in "Snowy owl (© A. Photographer)".
std::optional<std::string> describedIn(const std::optional<std::string>& credit) {
    if (!credit) return std::nullopt;
    const auto end = credit->find(" (©");
    if (end == std::string::npos || end == 0) return std::nullopt;
    return credit->substr(0, end);
}

// The images of an answer of the expected shape: an object whose "images" is an array of objects.
std::optional<Json> imagesOf(std::string_view body) {
    const std::optional<Json> root = Json::parse(body);
    if (!root || !root->isObject()) return std::nullopt;
    std::optional<Json> images = root->member("images");
    if (!images || !images->isArray()) return std::nullopt;
    for (std::size_t i = 0; i < images->size(); ++i)
        if (!images->at(i).isObject()) return std::nullopt;
    return images;
}

std::optional<std::string> textIn(const Json& image, std::string_view key) {
    const std::optional<Json> value = image.member(key);
    return value && value->isString() ? std::optional(value->string()) : std::nullopt;
}

std::optional<FoundImage> imageFrom(const Json& image, const Url& serviceOrigin) {
    auto text = [&](std::string_view key) { return textIn(image, key); };
    // Addresses are relative to the service; composed, they must still name the service's own
    // origin ("@other.example/x.jpg" or an absolute address would not).
    auto address = [&](std::string_view key, std::string_view suffix) -> std::optional<Url> {
        const std::optional<std::string> relative = text(key);
        if (!relative) return std::nullopt;
        std::optional<Url> url = Url::parse(serviceOrigin.absoluteString() +
                                            withoutPidMarker(*relative) + std::string(suffix));
        if (!url || url->origin() != serviceOrigin.origin()) return std::nullopt;
        return url;
    };
    std::optional<Url> url = address("url", "");
    if (!url) return std::nullopt;

    // Facts are for people; anything but text is simply absent.
    PictureFacts facts{text("title"), text("copyright"), text("copyrightlink")};
    // Some markets answer with the placeholder "Info": the credit then says what it shows.
    if (!facts.title || *facts.title == "Info") facts.title = describedIn(facts.copyright);
    // The same picture at 3840×2160, where the answer names its base.
    return FoundImage{*url, std::move(facts), address("urlbase", "_UHD.jpg")};
}

// The UTC day "20261206" names; nothing for anything else.
std::optional<Date> dayFrom(const std::optional<std::string>& text) {
    using namespace std::chrono;
    if (!text || text->size() != 8 ||
        !std::ranges::all_of(*text, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const year_month_day day{year(std::stoi(text->substr(0, 4))),
                             month(unsigned(std::stoi(text->substr(4, 2)))),
                             std::chrono::day(unsigned(std::stoi(text->substr(6, 2))))};
    if (!day.ok()) return std::nullopt;
    return sys_days(day);
}

}  // namespace

std::string_view marketForLocale(std::string_view locale) {
    // The territory's own market first, then the language's.
    static constexpr std::pair<std::string_view, std::string_view> markets[] = {
        {"en_GB", "en-GB"}, {"en_AU", "en-AU"}, {"en_CA", "en-CA"}, {"de", "de-DE"},
        {"fr", "fr-FR"},    {"ja", "ja-JP"},    {"zh", "zh-CN"}};
    for (const auto& [prefix, market] : markets)
        if (locale.starts_with(prefix) &&
            (locale.size() == prefix.size() ||
             !std::isalpha(static_cast<unsigned char>(locale[prefix.size()]))))
            return market;
    return "en-US";
}

std::string pictureName(std::string_view address) {
    for (std::size_t at = address.find('?'); at != std::string_view::npos;
         at = address.find('&', at)) {
        if (address.substr(++at).starts_with("id="))
            return std::string(address.substr(at + 3, address.find_first_of("_&", at) - at - 3));
    }
    return {};
}

bool samePicture(std::string_view a, std::string_view b) {
    const std::string name = pictureName(a);
    return !name.empty() && name == pictureName(b);
}

std::optional<FoundImage> imageFromAnswer(std::string_view body, const Url& serviceOrigin) {
    const std::optional<Json> images = imagesOf(body);
    if (!images || images->size() == 0) return std::nullopt;
    return imageFrom(images->at(0), serviceOrigin);
}

std::vector<ArchiveDay> daysFromAnswer(std::string_view body, const Url& serviceOrigin) {
    std::vector<ArchiveDay> days;
    const std::optional<Json> images = imagesOf(body);
    for (std::size_t i = 0; images && i < images->size() && days.size() < kArchiveDays; ++i) {
        std::optional<FoundImage> found = imageFrom(images->at(i), serviceOrigin);
        const std::optional<Date> day = dayFrom(textIn(images->at(i), "startdate"));
        if (found && day) days.push_back({std::move(*found), *day});
    }
    return days;
}

std::optional<Url> learnMoreLink(const PictureFacts& facts, const Url& serviceOrigin) {
    std::optional<Url> link = Url::parse(facts.copyrightLink.value_or(""));
    // A page of the service's own: nothing else is opened from what an answer says.
    if (!link || link->origin() != serviceOrigin.origin()) return std::nullopt;
    return link;
}

}  // namespace daylume
