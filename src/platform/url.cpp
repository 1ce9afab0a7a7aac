#include "platform/url.h"

#include <QUrl>

namespace daylume {

std::optional<Url> Url::parse(std::string_view text) {
    const QUrl parsed(QString::fromUtf8(text.data(), qsizetype(text.size())), QUrl::StrictMode);
    if (!parsed.isValid() || parsed.isRelative() || parsed.host().isEmpty()) return std::nullopt;
    Url url;
    url.text_ = std::string(text);
    url.origin_ = parsed.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
                      .toString(QUrl::FullyEncoded)
                      .toStdString();
    return url;
}

}  // namespace daylume
