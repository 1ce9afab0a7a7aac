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

}  // namespace

std::optional<FoundImage> imageFromAnswer(std::string_view body, const Url& serviceOrigin) {
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

    // Facts are for people; anything but text is simply absent.
    const Json& image = images->at(0);
    auto text = [&](std::string_view key) -> std::optional<std::string> {
        const std::optional<Json> value = image.member(key);
        return value && value->isString() ? std::optional(value->string()) : std::nullopt;
    };
    return FoundImage{*url, {text("title"), text("copyright"), text("copyrightlink")}};
}

}  // namespace daylume
