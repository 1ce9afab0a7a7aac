#include <cctype>

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
    const std::optional<Json> root = Json::parse(body);
    if (!root || !root->isObject()) return std::nullopt;
    const std::optional<Json> images = root->member("images");
    if (!images || !images->isArray() || images->size() == 0) return std::nullopt;
    for (std::size_t i = 0; i < images->size(); ++i)
        if (!images->at(i).isObject()) return std::nullopt;
    const Json& image = images->at(0);
    auto text = [&](std::string_view key) -> std::optional<std::string> {
        const std::optional<Json> value = image.member(key);
        return value && value->isString() ? std::optional(value->string()) : std::nullopt;
    };
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

}  // namespace daylume
