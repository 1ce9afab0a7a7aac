#include "platform/log.h"

#include <algorithm>

namespace daylume {

std::string Log::oneLine(std::string_view text) {
    enum Fold { None, Space, Break } pending = None;
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = [&](std::size_t k) {
            return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
        };
        std::size_t length = 0;
        Fold fold = None;
        if (c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            fold = Break, length = 1;
        } else if (c < 0x20 || c == 0x7f) {
            fold = Space, length = 1;
        } else if (c == 0xc2 && next(1) == 0x85) {  // NEXT LINE
            fold = Break, length = 2;
        } else if (c == 0xe2 && next(1) == 0x80 && (next(2) == 0xa8 || next(2) == 0xa9)) {
            fold = Break, length = 3;  // LINE and PARAGRAPH SEPARATOR
        }
        if (fold != None) {
            pending = std::max(pending, fold);
            i += length;
            continue;
        }
        if (pending != None && !line.empty()) line += pending == Break ? " | " : " ";
        pending = None;
        line += text[i++];
    }
    return line;
}

}  // namespace daylume
