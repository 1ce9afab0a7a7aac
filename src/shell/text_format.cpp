#include "shell/text_format.h"

namespace daylume {

std::string formatWithoutArguments(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        result.push_back(text[i]);
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') ++i;
    }
    return result;
}

std::string filledIn(std::string text, std::string_view placeholder, std::string_view value) {
    if (const auto at = text.find(placeholder); at != std::string::npos)
        text.replace(at, placeholder.size(), value);
    return text;
}

std::string fileNameFor(std::string_view title, std::string_view extension) {
    constexpr std::size_t kMaxBytes = 200;
    std::string name;
    for (const char c : title) {
        const auto byte = static_cast<unsigned char>(c);
        // A folder separator or a control character would make another name than the one shown.
        name.push_back(byte < 0x20 || byte == 0x7f || c == '/' ? ' ' : c);
    }
    // Cut at a character's first byte, never inside one.
    if (name.size() > kMaxBytes) {
        std::size_t end = kMaxBytes;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xc0) == 0x80) --end;
        name.resize(end);
    }
    const auto first = name.find_first_not_of(" .");
    const auto last = name.find_last_not_of(' ');
    name = first == std::string::npos ? "Daylume" : name.substr(first, last - first + 1);
    return name + "." + std::string(extension);
}

}  // namespace daylume
