#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace daylume {

// An absolute web address. Two Urls denote the same resource when their texts are equal,
// character for character; no other normalisation is applied.
class Url {
public:
    // Accepts only a valid absolute address (strict parsing); the text is kept as given.
    static std::optional<Url> parse(std::string_view text);

    const std::string& absoluteString() const { return text_; }
    // Scheme, user information, host and port as written: "https://www.bing.com". Two addresses
    // with different origins never reach the same server under the same name.
    const std::string& origin() const { return origin_; }

    friend bool operator==(const Url& a, const Url& b) { return a.text_ == b.text_; }

private:
    std::string text_;
    std::string origin_;
};

}  // namespace daylume
