#pragma once

#include <string>
#include <string_view>

namespace daylume::test {

// Log lines the tests look for.
inline const std::string kTimedOut = "❌ 所有区域抓取超时，返回 nil";
inline const std::string kWake = "💡 唤醒或激活后尝试补偿拉取新图";
inline const std::string kInstalled = "✅ 壁纸设置成功：";

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
