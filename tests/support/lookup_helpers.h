#pragma once

#include <string>
#include <string_view>

namespace daylume::test {

inline std::string marketURL(std::string_view market,
                             std::string_view origin = "https://www.bing.com") {
    return std::string(origin) +
           "/HPImageArchive.aspx?format=js&idx=0&n=1&mkt=" + std::string(market);
}

// An answer of the usual shape whose first image has this "url".
inline std::string answerWithURL(std::string_view url) {
    return R"({"images":[{"startdate":"20261206","url":")" + std::string(url) +
           R"(","urlbase":"/th?id=OHR.Example","copyright":"x"}],"tooltips":{}})";
}

}  // namespace daylume::test
