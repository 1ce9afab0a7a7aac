// Fuzz target: one market's answer, as the lookup reads it. Whatever the bytes, reading them must
// not crash, hang or leak, and an address it yields must stay on the service's origin.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pipeline/image_lookup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const daylume::Url origin = *daylume::Url::parse("https://www.bing.com");
    const auto found = daylume::imageFromAnswer(
        std::string_view(reinterpret_cast<const char*>(data), size), origin);
    if (found && (found->url.origin() != origin.origin() ||
                  !found->url.absoluteString().starts_with(origin.absoluteString())))
        std::abort();
    return 0;
}
