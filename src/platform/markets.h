#pragma once

#include <array>
#include <string_view>

namespace daylume {

// The service's markets: the lookup asks all of them, and a user may choose one as their region.
// The order is the order the lookup's requests start in, not a preference.
inline constexpr std::array<std::string_view, 8> marketCodes{"zh-CN", "ja-JP", "en-US", "en-GB",
                                                             "de-DE", "fr-FR", "en-AU", "en-CA"};

}  // namespace daylume
